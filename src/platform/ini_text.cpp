#include "platform/ini_text.h"

#include "platform/cp1252.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <vector>

namespace quorlan::platform {

namespace {

// What the private-profile reader trims around names and values: blanks, tabs, vertical tabs,
// form feeds, and the end-of-file mark (Ctrl-Z) that old editors leave after the last line.
constexpr std::string_view kBlanks = " \t\v\f\x1A";

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr char32_t kReplacement = 0xFFFD;

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

std::string lowered(std::string_view name) {
    std::string result(name);
    for (char& c : result) {
        c = asciiLower(c);
    }
    return result;
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

std::string utf16ToUtf8(std::string_view bytes, bool littleEndian) {
    const auto unitAt = [&](std::size_t i) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char32_t>(littleEndian ? first | (second << 8) : (first << 8) | second);
    };
    std::string utf8;
    utf8.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(utf8, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(utf8, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
    }
    return utf8;
}

// The next character of text in a file marked as UTF-8; a byte that is not part of UTF-8 reads as
// U+FFFD, as the platform reads it.
char32_t nextCodePoint(std::string_view& utf8) {
    if (const auto codePoint = takeUtf8(utf8)) {
        return *codePoint;
    }
    utf8.remove_prefix(1);
    return kReplacement;
}

std::string utf8ToUtf16(std::string_view utf8, bool littleEndian) {
    std::string bytes;
    bytes.reserve(utf8.size() * 2);
    const auto append = [&](char32_t unit) {
        const auto high = static_cast<char>(unit >> 8);
        const auto low = static_cast<char>(unit & 0xFF);
        bytes += littleEndian ? low : high;
        bytes += littleEndian ? high : low;
    };
    while (!utf8.empty()) {
        const char32_t codePoint = nextCodePoint(utf8);
        if (codePoint >= 0x10000) {
            append(0xD800 + ((codePoint - 0x10000) >> 10));
            append(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
        } else {
            append(codePoint);
        }
    }
    return bytes;
}

// A value as the calls hand it over, in the code page, converted as the platform converts it.
std::string toCodePage(const IniText& ini, std::string_view text) {
    if (ini.encoding == IniEncoding::CodePage) {
        return std::string(text);
    }
    std::string bytes;
    bytes.reserve(text.size());
    while (!text.empty()) {
        bytes += cp1252BestFit(nextCodePoint(text));
    }
    return bytes;
}

// A name of the file as the calls' names, which are in the code page, can match it. The platform
// compares names in Unicode, so that a name with a character the code page lacks matches none:
// nothing, then.
std::optional<std::string> nameInCodePage(const IniText& ini, std::string_view name) {
    if (ini.encoding == IniEncoding::CodePage) {
        return std::string(name);
    }
    std::string bytes;
    while (!name.empty()) {
        const auto byte = cp1252Byte(nextCodePoint(name));
        if (!byte) {
            return std::nullopt;
        }
        bytes += *byte;
    }
    return bytes;
}

bool nameMatches(const IniText& ini, std::string_view nameInFile, std::string_view wanted) {
    const auto name = nameInCodePage(ini, nameInFile);
    return name && sameName(*name, wanted);
}

std::string fromCodePage(const IniText& ini, std::string_view text) {
    return ini.encoding == IniEncoding::CodePage ? std::string(text) : cp1252ToUtf8(text);
}

// Offsets of one line in the text: [begin, contentEnd) is its content, [contentEnd, end) its line end.
struct Line {
    std::size_t begin;
    std::size_t contentEnd;
    std::size_t end;
};

// CR, LF and CR LF each end a line, as the private-profile reader takes them: files whose line
// ends were converted once too often, or written on another system, read the same.
std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t begin = 0;
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

std::string_view contentOf(std::string_view text, const Line& line) {
    return text.substr(line.begin, line.contentEnd - line.begin);
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

// Where a key is, or where it would go, in the text's lines.
struct Location {
    std::optional<std::size_t> sectionLine;
    std::optional<std::size_t> keyLine;
    std::size_t lastContentLine = 0; // the section's last non-blank line
};

// Names are compared in the code page, as the reading calls see them.
Location locate(const IniText& ini, const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Location where;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto line = contentOf(ini.text, lines[i]);
        if (const auto name = sectionNameOf(line)) {
            if (where.sectionLine) {
                break; // the first matching section wins, and it ends here
            }
            if (nameMatches(ini, *name, section)) {
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
        if (entry && !where.keyLine && nameMatches(ini, entry->key, key)) {
            where.keyLine = i;
        }
    }
    return where;
}

// The text's own line end, as its first line shows it; CR LF for a text that has none yet.
std::string lineEndOf(std::string_view text) {
    const auto lineEnd = text.find_first_of("\r\n");
    if (lineEnd == std::string_view::npos || text.substr(lineEnd, 2) == "\r\n") {
        return "\r\n";
    }
    return text[lineEnd] == '\r' ? "\r" : "\n";
}

bool breaksLines(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

IniText decodeIni(std::string_view bytes) {
    if (bytes.starts_with(kUtf8Mark)) {
        return {IniEncoding::Utf8, std::string(bytes.substr(kUtf8Mark.size()))};
    }
    if (bytes.starts_with(kUtf16LeMark)) {
        return {IniEncoding::Utf16Le, utf16ToUtf8(bytes.substr(kUtf16LeMark.size()), true)};
    }
    if (bytes.starts_with(kUtf16BeMark)) {
        return {IniEncoding::Utf16Be, utf16ToUtf8(bytes.substr(kUtf16BeMark.size()), false)};
    }
    return {IniEncoding::CodePage, std::string(bytes)};
}

std::string encodeIni(const IniText& ini) {
    switch (ini.encoding) {
    case IniEncoding::Utf8:
        return std::string(kUtf8Mark) + ini.text;
    case IniEncoding::Utf16Le:
        return std::string(kUtf16LeMark) + utf8ToUtf16(ini.text, true);
    case IniEncoding::Utf16Be:
        return std::string(kUtf16BeMark) + utf8ToUtf16(ini.text, false);
    case IniEncoding::CodePage:
        break;
    }
    return ini.text;
}

const std::string* IniValues::find(std::string_view section, std::string_view key) const {
    const auto keys = sections.find(lowered(trimmed(section)));
    if (keys == sections.end()) {
        return nullptr;
    }
    const auto value = keys->second.find(lowered(trimmed(key)));
    return value == keys->second.end() ? nullptr : &value->second;
}

IniValues parseIni(const IniText& ini) {
    IniValues values;
    IniValues::Keys* current = nullptr;
    for (const Line& line : splitLines(ini.text)) {
        const auto content = contentOf(ini.text, line);
        if (const auto name = sectionNameOf(content)) {
            current = nullptr;
            if (const auto matchable = nameInCodePage(ini, *name)) {
                const auto [keys, first] = values.sections.try_emplace(lowered(*matchable));
                current = first ? &keys->second : nullptr;
            }
        } else if (const auto entry = entryOf(content); entry && current != nullptr) {
            if (const auto key = nameInCodePage(ini, entry->key)) {
                current->try_emplace(lowered(*key), toCodePage(ini, entry->value));
            }
        }
    }
    return values;
}

std::string iniString(std::string_view stored) {
    if (stored.size() >= 2 && (stored.front() == '"' || stored.front() == '\'') && stored.back() == stored.front()) {
        stored = stored.substr(1, stored.size() - 2);
    }
    return std::string(stored);
}

std::optional<long> iniInteger(std::string_view stored) {
    const std::string unquoted = iniString(stored);
    if (unquoted.empty()) {
        return std::nullopt;
    }
    const std::string_view text = trimmed(unquoted);
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

bool writableEntry(std::string_view section, std::string_view key, std::string_view value) {
    section = trimmed(section);
    key = trimmed(key);
    return !section.empty() && !key.empty() && !breaksLines(section) && !breaksLines(key) && !breaksLines(value) &&
           section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos &&
           key.front() != ';' && key.front() != '[';
}

IniText withEntry(const IniText& ini, std::string_view section, std::string_view key, std::string_view value) {
    const auto lines = splitLines(ini.text);
    const auto where = locate(ini, lines, trimmed(section), trimmed(key));
    const std::string sectionName = fromCodePage(ini, trimmed(section));
    const std::string keyName = fromCodePage(ini, trimmed(key));
    const std::string newValue = fromCodePage(ini, value);
    const std::string& text = ini.text;
    const std::string eol = lineEndOf(text);
    IniText changed{ini.encoding, {}};
    if (where.keyLine) {
        const Line& line = lines[*where.keyLine];
        const auto stored = entryOf(contentOf(text, line))->key;
        changed.text = text.substr(0, line.begin) + std::string(stored) + "=" + newValue + text.substr(line.contentEnd);
        return changed;
    }
    const std::string entry = keyName + "=" + newValue + eol;
    if (where.sectionLine) {
        const Line& last = lines[where.lastContentLine];
        const std::string separator = last.end == last.contentEnd ? eol : std::string();
        changed.text = text.substr(0, last.end) + separator + entry + text.substr(last.end);
        return changed;
    }
    const bool open = !lines.empty() && lines.back().end == lines.back().contentEnd;
    changed.text = text + (open ? eol : std::string()) + "[" + sectionName + "]" + eol + entry;
    return changed;
}

} // namespace quorlan::platform
