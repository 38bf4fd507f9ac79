#include "platform/ini_file.h"

#include "platform/file_write.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quorlan::platform {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// Offsets of one line in the file's text: [begin, contentEnd) is the text, [contentEnd, end) its line end.
struct Line {
    std::size_t begin;
    std::size_t contentEnd;
    std::size_t end;
};

// A UTF-8 byte order mark left by an editor is no part of the first line.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// CR, LF and CR LF each end a line, as the private-profile reader takes them: files whose line
// ends were converted once too often, or written on another system, read the same.
std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t begin = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    while (begin < text.size()) {
        const auto lineEnd = text.find_first_of("\r\n", begin);
        if (lineEnd == std::string_view::npos) {
            lines.push_back({begin, text.size(), text.size()});
            break;
        }
        const bool crlf = text.substr(lineEnd, 2) == "\r\n";
        const std::size_t end = lineEnd + (crlf ? 2 : 1);
        lines.push_back({begin, lineEnd, end});
        begin = end;
    }
    return lines;
}

std::optional<std::string_view> sectionNameOf(std::string_view line) {
    line = trimmed(line);
    const auto close = line.rfind(']');
    if (line.empty() || line.front() != '[' || close == std::string_view::npos) {
        return std::nullopt;
    }
    return trimmed(line.substr(1, close - 1));
}

struct Entry {
    std::string_view key;
    std::string_view value;
};

std::optional<Entry> entryOf(std::string_view line) {
    const auto equals = line.find('=');
    const auto key = trimmed(line.substr(0, equals));
    if (equals == std::string_view::npos || key.empty() || key.front() == ';') {
        return std::nullopt;
    }
    return Entry{key, trimmed(line.substr(equals + 1))};
}

// Where a key is, or where it would go, in a file's lines.
struct Location {
    std::optional<std::size_t> sectionLine;
    std::optional<std::size_t> keyLine;
    std::size_t lastContentLine = 0; // the section's last non-blank line
};

Location locate(std::string_view text, const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Location where;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto line = text.substr(lines[i].begin, lines[i].contentEnd - lines[i].begin);
        if (const auto name = sectionNameOf(line)) {
            if (where.sectionLine) {
                break; // the first matching section wins, and it ends here
            }
            if (sameName(*name, section)) {
                where.sectionLine = i;
                where.lastContentLine = i;
            }
            continue;
        }
        if (!where.sectionLine) {
            continue;
        }
        if (!trimmed(line).empty()) {
            where.lastContentLine = i;
        }
        const auto entry = entryOf(line);
        if (entry && !where.keyLine && sameName(entry->key, key)) {
            where.keyLine = i;
        }
    }
    return where;
}

std::optional<std::string> readFile(const std::string& path, int& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return std::nullopt;
    }
    std::string content;
    char buffer[8192];
    ssize_t count = 0;
    while ((count = ::read(fd, buffer, sizeof buffer)) > 0) {
        content.append(buffer, static_cast<std::size_t>(count));
    }
    error = count < 0 ? errno : 0;
    ::close(fd);
    if (count < 0) {
        return std::nullopt;
    }
    return content;
}

// The value as stored in the file, or nullopt when the file, section or key is missing.
std::optional<std::string> storedValue(const std::string& section, const std::string& key,
                                       const std::string& filePath) {
    int error = 0;
    const auto content = readFile(filePath, error);
    if (!content) {
        return std::nullopt;
    }
    const auto lines = splitLines(*content);
    const auto where = locate(*content, lines, trimmed(section), trimmed(key));
    if (!where.keyLine) {
        return std::nullopt;
    }
    const Line& line = lines[*where.keyLine];
    return std::string(entryOf(std::string_view(*content).substr(line.begin, line.contentEnd - line.begin))->value);
}

std::string withoutQuotes(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string cut(std::string value, std::size_t bufferSize) {
    value.resize(std::min(value.size(), bufferSize == 0 ? 0 : bufferSize - 1));
    return value;
}

long leadingInteger(std::string_view text) {
    bool negative = false;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<long long>(value * 10 + (text[i] - '0'), static_cast<long long>(INT_MAX) + 1);
    }
    value = negative ? -value : std::min<long long>(value, INT_MAX);
    return static_cast<long>(value);
}

// A file's own line end, as its first line shows it; CR LF for a file that has none yet.
std::string_view lineEndOf(std::string_view text) {
    const auto lineEnd = text.find_first_of("\r\n");
    if (lineEnd == std::string_view::npos || text.substr(lineEnd, 2) == "\r\n") {
        return "\r\n";
    }
    return text[lineEnd] == '\r' ? "\r" : "\n";
}

std::string withEntry(const std::string& text, const std::string& section, const std::string& key,
                      const std::string& value) {
    const auto lines = splitLines(text);
    const auto eol = std::string(lineEndOf(text));
    const auto where = locate(text, lines, section, key);
    if (where.keyLine) {
        const Line& line = lines[*where.keyLine];
        const auto stored = entryOf(std::string_view(text).substr(line.begin, line.contentEnd - line.begin))->key;
        return text.substr(0, line.begin) + std::string(stored) + "=" + value + text.substr(line.contentEnd);
    }
    const std::string entry = key + "=" + value + eol;
    if (where.sectionLine) {
        const Line& last = lines[where.lastContentLine];
        const std::string separator = last.end == last.contentEnd ? eol : std::string();
        return text.substr(0, last.end) + separator + entry + text.substr(last.end);
    }
    const bool open = !lines.empty() && lines.back().end == lines.back().contentEnd;
    return text + (open ? eol : std::string()) + "[" + section + "]" + eol + entry;
}

bool breaksLines(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

bool writable(std::string_view section, std::string_view key, std::string_view value) {
    return !section.empty() && !key.empty() && !breaksLines(section) && !breaksLines(key) && !breaksLines(value) &&
           section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos &&
           key.front() != ';' && key.front() != '[';
}

// A fresh file beside the target, readable by whoever could read the original.
int createTemporary(const std::string& target, std::string& temporaryPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = target + ".~" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        const int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// A file without any write permission is read-only for whoever runs the station, as the
// read-only attribute is on the workstation; one this user may not write is not this user's.
bool mayChange(const std::string& target, const struct stat& status) {
    return (status.st_mode & 0222) != 0 && ::access(target.c_str(), W_OK) == 0;
}

// The new file takes the old one's owner and mode, or the replacement is not made.
bool takeOver(int fd, const std::optional<struct stat>& old) {
    return !old || (::fchmod(fd, old->st_mode & 07777) == 0 && ::fchown(fd, old->st_uid, old->st_gid) == 0);
}

enum class Replaced { Done, Failed, NotPossible };

// Through a temporary file and a rename, so that a crash never leaves half a settings file.
Replaced replaceFile(const std::string& target, std::string_view content, const std::optional<struct stat>& old) {
    std::string temporaryPath;
    const int fd = createTemporary(target, temporaryPath);
    if (fd < 0) {
        return Replaced::NotPossible;
    }
    Replaced outcome = Replaced::Done;
    if (!takeOver(fd, old)) {
        outcome = Replaced::NotPossible;
    } else if (!writeAll(fd, content) || ::fsync(fd) != 0) {
        outcome = Replaced::Failed;
    }
    if (::close(fd) != 0 && outcome == Replaced::Done) {
        outcome = Replaced::Failed;
    }
    if (outcome == Replaced::Done && ::rename(temporaryPath.c_str(), target.c_str()) != 0) {
        outcome = Replaced::NotPossible;
    }
    if (outcome != Replaced::Done) {
        ::unlink(temporaryPath.c_str());
    }
    return outcome;
}

// Where no file can be made beside it (a read-only folder), or a new file could not keep the
// owner, the file itself is rewritten.
bool rewriteInPlace(const std::string& target, std::string_view content) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool ok = writeAll(fd, content) && ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    return ok;
}

// A settings file reached through a link is changed where it really lives, not replaced by a copy.
std::string resolvedTarget(const std::string& filePath) {
    std::error_code error;
    const auto real = std::filesystem::canonical(filePath, error);
    return error ? filePath : real.string();
}

} // namespace

std::string getPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                    std::size_t bufferSize, const std::string& filePath) {
    const auto value = storedValue(section, key, filePath);
    return cut(value ? withoutQuotes(*value) : defaultValue, bufferSize);
}

long getPrivateProfileInt(const std::string& section, const std::string& key, long defaultValue,
                          const std::string& filePath) {
    const auto value = storedValue(section, key, filePath);
    // An empty value reads as missing, as the private-profile integer call always did.
    if (!value || withoutQuotes(*value).empty()) {
        return defaultValue;
    }
    return leadingInteger(trimmed(withoutQuotes(*value)));
}

bool writePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& filePath) {
    const std::string sectionName(trimmed(section));
    const std::string keyName(trimmed(key));
    if (!writable(sectionName, keyName, value)) {
        return false;
    }
    const std::string target = resolvedTarget(filePath);
    int error = 0;
    const auto content = readFile(target, error);
    if (!content && error != ENOENT) {
        return false; // never replace a file that exists but could not be read
    }
    std::optional<struct stat> old;
    if (content) {
        struct stat status {};
        if (::stat(target.c_str(), &status) != 0 || !mayChange(target, status)) {
            return false;
        }
        old = status;
    }
    const std::string changed = withEntry(content.value_or(std::string()), sectionName, keyName, value);
    switch (replaceFile(target, changed, old)) {
    case Replaced::Done:
        return true;
    case Replaced::NotPossible:
        return old && rewriteInPlace(target, changed);
    case Replaced::Failed:
        break;
    }
    return false;
}

IniFileSection::IniFileSection(std::string filePath, std::string section)
    : m_filePath(std::move(filePath)), m_section(std::move(section)) {}

std::string IniFileSection::getString(const std::string& key, const std::string& defaultValue, std::size_t bufferSize) {
    return getPrivateProfileString(m_section, key, defaultValue, bufferSize, m_filePath);
}

long IniFileSection::getInt(const std::string& key, long defaultValue) {
    return getPrivateProfileInt(m_section, key, defaultValue, m_filePath);
}

void IniFileSection::writeString(const std::string& key, const std::string& value) {
    writePrivateProfileString(m_section, key, value, m_filePath);
}

} // namespace quorlan::platform
