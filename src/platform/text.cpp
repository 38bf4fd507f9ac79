#include "platform/text.h"

#include "platform/error.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace quorlan::platform {

std::string trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

char toUpper(char c) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) {
        return static_cast<char>(u - 0x20);
    }
    switch (u) {
    case 0x9A: // s caron
    case 0x9C: // oe
    case 0x9E: // z caron
        return static_cast<char>(u - 0x10);
    case 0xFF: // y diaeresis
        return static_cast<char>(0x9F);
    default:
        return c;
    }
}

std::string toUpper(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = toUpper(c);
    }
    return result;
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::size_t trailingLineEndLength(std::string_view text) {
    if (endsWith(text, "\r\n")) {
        return 2;
    }
    return endsWith(text, "\r") || endsWith(text, "\n") ? 1 : 0;
}

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the number at the start of text (sign, digits, point, exponent), 0 when none.
std::size_t numberLength(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0;
    }
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) {
                ++j;
            }
            i = j;
        }
    }
    return i;
}

double parseNumber(std::string_view number) {
    std::string copy(number);
    for (char& c : copy) {
        if (c == 'D' || c == 'd') {
            c = 'E';
        }
    }
    return std::strtod(copy.c_str(), nullptr);
}

} // namespace

double numericValue(std::string_view text) {
    const auto start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) {
        return 0.0;
    }
    text.remove_prefix(start);
    const auto length = numberLength(text);
    return length == 0 ? 0.0 : parseNumber(text.substr(0, length));
}

namespace {

double strictNumber(std::string_view text) {
    const std::string trimmed = trimBlanks(text);
    const auto length = numberLength(trimmed);
    if (length == 0 || length != trimmed.size()) {
        throw StationError(errc::kTypeMismatch);
    }
    return parseNumber(trimmed);
}

} // namespace

float strictSingle(std::string_view text) {
    const double value = strictNumber(text);
    if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) {
        throw StationError(errc::kOverflow);
    }
    return static_cast<float>(value);
}

std::int32_t strictLong(std::string_view text) {
    const double rounded = std::nearbyint(strictNumber(text)); // default rounding mode: halves to even
    if (!std::isfinite(rounded) || rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max()) {
        throw StationError(errc::kOverflow);
    }
    return static_cast<std::int32_t>(rounded);
}

std::string formatSingle(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.7G", static_cast<double>(value));
    return buffer;
}

bool isControlCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F || u == 0x81 || u == 0x8D || u == 0x8F || u == 0x90 || u == 0x9D;
}

std::string escapeControls(std::string_view text, bool escapeBackslashes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        if (c == '\\' && escapeBackslashes) {
            result += "\\\\";
        } else if (!isControlCharacter(c)) {
            result += c;
        } else if (c == '\r') {
            result += "\\r";
        } else if (c == '\n') {
            result += "\\n";
        } else if (c == '\t') {
            result += "\\t";
        } else {
            const auto u = static_cast<unsigned char>(c);
            result += "\\x";
            result += kHex[u >> 4];
            result += kHex[u & 0xF];
        }
    }
    return result;
}

std::string visibleText(std::string_view text, std::size_t maxLength) {
    if (text.size() <= maxLength) {
        return escapeControls(text);
    }
    return escapeControls(text.substr(0, maxLength)) + "... (" + std::to_string(text.size() - maxLength) +
           " more characters)";
}

} // namespace quorlan::platform
