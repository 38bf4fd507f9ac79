#include "history/history_csv.h"

#include "history/local_time.h"
#include "platform/file_write.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>
#include <utility>

namespace quorlan::history {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

bool isNumber(std::string_view text) {
    if (text.size() < 2) {
        return false;
    }
    bool digit = false;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            digit = true;
        } else if (text[i] != '.') {
            return false;
        }
    }
    return digit;
}

bool startsLikeFormula(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    const char first = text.front();
    return first == '=' || first == '+' || first == '@' || (first == '-' && !isNumber(text));
}

void appendField(std::string& out, std::string_view text) {
    const bool formula = startsLikeFormula(text);
    const bool quote = formula || text.find_first_of(",;\"\r\n") != std::string_view::npos;
    if (quote) {
        out += '"';
    }
    if (formula) {
        out += '\'';
    }
    for (const char c : text) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    if (quote) {
        out += '"';
    }
}

class CsvFile final {
public:
    explicit CsvFile(const std::string& path)
        : m_path(path), m_temporary(path + ".partial-" + std::to_string(::getpid())) {
        m_fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (m_fd < 0) {
            fail("cannot be created");
        }
        m_buffer.reserve(kBufferSize + 4096);
    }
    ~CsvFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
            ::unlink(m_temporary.c_str());
        }
    }
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;

    std::string& buffer() { return m_buffer; }
    void writeIfFull() {
        if (m_buffer.size() >= kBufferSize) {
            write();
        }
    }
    void finish() {
        write();
        if (::close(std::exchange(m_fd, -1)) != 0 || ::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
            const int error = errno;
            ::unlink(m_temporary.c_str());
            errno = error;
            fail("cannot be written");
        }
    }

private:
    void write() {
        if (!platform::writeAll(m_fd, m_buffer)) {
            fail("cannot be written");
        }
        m_buffer.clear();
    }
    [[noreturn]] void fail(const char* what) const {
        throw std::runtime_error(m_path + " " + what + ": " + std::strerror(errno));
    }

    std::string m_path;
    std::string m_temporary;
    std::string m_buffer;
    int m_fd = -1;
};

} // namespace

std::string csvHeader() {
    return "id,time,kind,scan,program,field_code,dim_x,dim_y,dim_z,line,outcome,reason,control\r\n";
}

void appendCsvLine(std::string& out, const Event& event) {
    out += std::to_string(event.id);
    out += ',';
    out += formatLocalTime(event.timeMs);
    for (const std::string_view field :
         {kindName(event.kind), std::string_view(event.scan), std::string_view(event.program),
          std::string_view(event.fieldCode), std::string_view(event.dimX), std::string_view(event.dimY),
          std::string_view(event.dimZ), std::string_view(event.line), outcomeName(event.outcome),
          std::string_view(event.reason), std::string_view(event.control)}) {
        out += ',';
        appendField(out, field);
    }
    out += "\r\n";
}

std::int64_t exportCsv(HistoryReader& reader, const Filter& filter, const std::string& path) {
    CsvFile file(path);
    file.buffer() += csvHeader();
    const std::int64_t count = reader.forEach(filter, [&file](const Event& event) {
        appendCsvLine(file.buffer(), event);
        file.writeIfFull();
    });
    file.finish();
    return count;
}

} // namespace quorlan::history
