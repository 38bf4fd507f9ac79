#include "cnc/control_key.h"

#include "platform/crypto.h"
#include "platform/error.h"
#include "platform/private_file.h"

#include <array>

namespace quorlan::cnc {

namespace {

using platform::StationError;

// A key file is one line; anything much longer is not one.
constexpr std::size_t kMaxKeyFileBytes = 4096;

int hexValue(char digit) {
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'a' && digit <= 'f') {
        return digit - 'a' + 10;
    }
    if (digit >= 'A' && digit <= 'F') {
        return digit - 'A' + 10;
    }
    return -1;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

[[noreturn]] void refuse(const std::string& why) {
    throw StationError(platform::errc::kInvalidPropertyValue,
                       why + "; a control key file holds one line of at least " + std::to_string(2 * kControlKeyBytes) +
                           " hex digits, as quorlan --new-control-key FILE writes it");
}

} // namespace

std::string newControlKeyText() {
    std::array<unsigned char, kControlKeyBytes> key{};
    platform::randomBytes(key);
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : key) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0f];
    }
    return text + '\n';
}

std::string parseControlKey(std::string_view text) {
    const std::string_view digits = trimmed(text);
    std::string key;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int high = hexValue(digits[i]);
        const int low = i + 1 < digits.size() ? hexValue(digits[i + 1]) : 0;
        if (high < 0 || low < 0) {
            refuse("it holds something other than hex digits");
        }
        if (i + 1 == digits.size()) {
            refuse("it holds an odd number of hex digits");
        }
        key += static_cast<char>(high * 16 + low);
    }
    if (key.size() < kControlKeyBytes) {
        refuse("it holds " + std::to_string(key.size()) + " bytes, fewer than " + std::to_string(kControlKeyBytes));
    }
    return key;
}

std::string readControlKey(const std::string& path) {
    std::string text;
    try {
        text = platform::readPrivateFile(path, kMaxKeyFileBytes);
    } catch (const StationError& error) {
        throw StationError(error.number(), "the control key file " + error.description());
    }
    try {
        return parseControlKey(text);
    } catch (const StationError& error) {
        throw StationError(error.number(), "the control key file " + path + " is not a key: " + error.description());
    }
}

void writeNewControlKey(const std::string& path) {
    platform::createPrivateFile(path, newControlKeyText());
}

} // namespace quorlan::cnc
