#include "scan_bytes.h"

#include "platform/cp1252.h"
#include "platform/text.h"

#include <cctype>
#include <stdexcept>

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

std::string toCodePage(const std::string& utf8) {
    std::optional<std::string> bytes = platform::utf8ToCp1252(utf8);
    if (!bytes) {
        throw std::invalid_argument("not UTF-8 text: " + platform::escapeControls(utf8, true) +
                                    " (give its bytes with --raw or --hex)");
    }
    return std::move(*bytes);
}

} // namespace quorlan::scan_tool
