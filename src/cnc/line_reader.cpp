#include "cnc/line_reader.h"

#include "platform/error.h"

namespace quorlan::cnc {

using platform::StationError;

LineReader::LineReader(std::istream& input, std::size_t maxLineBytes, std::size_t maxLines)
    : m_input(input), m_maxLineBytes(maxLineBytes), m_maxLines(maxLines) {}

bool LineReader::next(std::string& line) {
    line.clear();
    std::streambuf* buffer = m_input.rdbuf();
    if (buffer == nullptr) {
        throw StationError(platform::errc::kDeviceIo);
    }
    using Traits = std::streambuf::traits_type;
    auto c = buffer->sbumpc();
    if (Traits::eq_int_type(c, Traits::eof())) {
        return false;
    }
    if (++m_linesRead > m_maxLines) {
        throw StationError(platform::errc::kInputPastEnd);
    }
    for (; !Traits::eq_int_type(c, Traits::eof()) && Traits::to_char_type(c) != '\n'; c = buffer->sbumpc()) {
        if (line.size() == m_maxLineBytes) {
            throw StationError(platform::errc::kInputPastEnd);
        }
        line.push_back(Traits::to_char_type(c));
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return true;
}

} // namespace quorlan::cnc
