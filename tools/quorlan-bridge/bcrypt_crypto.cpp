// HMAC-SHA256 and random bytes from Windows' own cryptography (bcrypt), for the bridge on the
// control's PC; the Linux side has the same interface from OpenSSL.
#include "platform/crypto.h"
#include "platform/error.h"

#include <windows.h>
// after windows.h, whose types it uses
#include <algorithm>
#include <bcrypt.h>
#include <climits>
#include <cstdio>
#include <string>

namespace quorlan::platform {

namespace {

[[noreturn]] void fail(const char* what, NTSTATUS status) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
    throw StationError(errc::kDeviceUnavailable,
                       std::string("Windows' cryptography failed to ") + what + " (status " + code + ")");
}

// Opened once: opening the provider costs far more than the MAC of a frame. The handle may be used
// by several threads at once.
BCRYPT_ALG_HANDLE hmacProvider() {
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        const NTSTATUS status =
            BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG);
        if (!BCRYPT_SUCCESS(status)) {
            fail("provide HMAC-SHA256", status);
        }
        return opened;
    }();
    return provider;
}

class Hash {
public:
    explicit Hash(std::string_view key) {
        // The hash object's memory is left to bcrypt (null buffer), as Windows 7 and later allow.
        auto* keyBytes = reinterpret_cast<PUCHAR>(const_cast<char*>(key.data()));
        const NTSTATUS status =
            BCryptCreateHash(hmacProvider(), &m_handle, nullptr, 0, keyBytes, static_cast<ULONG>(key.size()), 0);
        if (!BCRYPT_SUCCESS(status)) {
            fail("start an HMAC", status);
        }
    }
    ~Hash() { BCryptDestroyHash(m_handle); }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;

    void add(std::string_view part) {
        while (!part.empty()) {
            const std::size_t chunk = std::min<std::size_t>(part.size(), ULONG_MAX);
            const NTSTATUS status = BCryptHashData(m_handle, reinterpret_cast<PUCHAR>(const_cast<char*>(part.data())),
                                                   static_cast<ULONG>(chunk), 0);
            if (!BCRYPT_SUCCESS(status)) {
                fail("compute an HMAC", status);
            }
            part.remove_prefix(chunk);
        }
    }

    Mac finish() {
        Mac mac{};
        const NTSTATUS status = BCryptFinishHash(m_handle, mac.data(), static_cast<ULONG>(mac.size()), 0);
        if (!BCRYPT_SUCCESS(status)) {
            fail("finish an HMAC", status);
        }
        return mac;
    }

private:
    BCRYPT_HASH_HANDLE m_handle = nullptr;
};

} // namespace

Mac hmacSha256(std::string_view key, std::initializer_list<std::string_view> parts) {
    Hash hash(key);
    for (std::string_view part : parts) {
        hash.add(part);
    }
    return hash.finish();
}

void randomBytes(std::span<unsigned char> bytes) {
    while (!bytes.empty()) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size(), ULONG_MAX);
        const NTSTATUS status =
            BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(chunk), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
        if (!BCRYPT_SUCCESS(status)) {
            fail("deliver random bytes", status);
        }
        bytes = bytes.subspan(chunk);
    }
}

} // namespace quorlan::platform
