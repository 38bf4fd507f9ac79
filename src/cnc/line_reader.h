// Reading a text file line by line, within limits, so that a huge or binary file handed over as
// a program or a list cannot exhaust memory or keep the station busy.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

namespace quorlan::cnc {

class LineReader final {
public:
    LineReader(std::istream& input, std::size_t maxLineBytes, std::size_t maxLines);

    // The next line without its line end (LF or CRLF); false at the end of the input. Throws
    // StationError 62 past either limit and 57 when the device fails.
    bool next(std::string& line);

private:
    std::istream& m_input;
    std::size_t m_maxLineBytes;
    std::size_t m_maxLines;
    std::size_t m_linesRead = 0;
};

} // namespace quorlan::cnc
