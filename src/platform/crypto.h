// What the control link's authentication needs from the operating system's cryptography: HMAC-SHA256
// and random bytes. OpenSSL's libcrypto provides them on Linux (openssl_crypto.cpp), bcrypt on
// Windows (tools/quorlan-bridge/bcrypt_crypto.cpp), so that each side uses its system's own
// vetted code; both are checked against the same published test vectors.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <span>
#include <string_view>

namespace quorlan::platform {

inline constexpr std::size_t kMacSize = 32;
using Mac = std::array<unsigned char, kMacSize>;

// HMAC-SHA256 under key of the parts, taken one after the other as one message. Throws
// StationError when the library fails.
Mac hmacSha256(std::string_view key, std::initializer_list<std::string_view> parts);

// Fills bytes from the system's cryptographic random source. Throws StationError when it cannot.
void randomBytes(std::span<unsigned char> bytes);

// Whether two MACs agree, in a time that does not tell where they differ.
inline bool sameMac(const Mac& a, const Mac& b) {
    unsigned char difference = 0;
    for (std::size_t i = 0; i < kMacSize; ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

} // namespace quorlan::platform
