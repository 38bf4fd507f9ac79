#include "scan_bytes.h"

#include <cctype>

namespace quorlan::scan_tool {

namespace {

std::optional<std::string> fromHex(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else if (c != ' ' && c != ':') {
            return std::nullopt;
        }
    }
    if (digits.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        out += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
    }
    return out;
}

} // namespace

std::string toCodePage(const std::string& utf8) {
    static const char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                       0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        char32_t code = c;
        std::size_t length = 1;
        if (c >= 0xC0 && c < 0xE0 && i + 1 < utf8.size()) {
            code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            length = 2;
        } else if (c >= 0xE0 && c < 0xF0 && i + 2 < utf8.size()) {
            code = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                   (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            length = 3;
        } else if (c >= 0xF0) {
            length = 4;
            code = 0x110000;
        }
        i += length;
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            out += static_cast<char>(code);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k) {
            if (kHigh[k] != 0 && kHigh[k] == code) {
                mapped = static_cast<char>(0x80 + k);
            }
        }
        out += mapped;
    }
    return out;
}

std::optional<std::string> scanBytes(const std::string& argument, ScanForm form) {
    switch (form) {
    case ScanForm::Hex:
        return fromHex(argument);
    case ScanForm::Raw:
        return argument;
    case ScanForm::Text:
        break;
    }
    return toCodePage(argument);
}

} // namespace quorlan::scan_tool
