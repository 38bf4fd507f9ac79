#include "platform/crypto.h"
#include "platform/error.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rand.h>
#include <string>

namespace quorlan::platform {

namespace {

[[noreturn]] void fail(const char* what) {
    throw StationError(errc::kDeviceUnavailable, std::string("the cryptographic library failed to ") + what);
}

// Fetched once: the fetch looks the algorithm up among the library's providers, which costs more
// than the MAC of a frame.
EVP_MAC* hmacAlgorithm() {
    static EVP_MAC* const algorithm = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    if (algorithm == nullptr) {
        fail("provide HMAC");
    }
    return algorithm;
}

struct ContextFree {
    void operator()(EVP_MAC_CTX* context) const { EVP_MAC_CTX_free(context); }
};

} // namespace

Mac hmacSha256(std::string_view key, std::initializer_list<std::string_view> parts) {
    const std::unique_ptr<EVP_MAC_CTX, ContextFree> context(EVP_MAC_CTX_new(hmacAlgorithm()));
    char digest[] = "SHA256";
    const OSSL_PARAM parameters[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                     OSSL_PARAM_construct_end()};
    // An empty key is a valid HMAC key, but the library wants a pointer to it all the same.
    static const unsigned char kNoKey = 0;
    const auto* keyBytes = key.empty() ? &kNoKey : reinterpret_cast<const unsigned char*>(key.data());
    if (!context || EVP_MAC_init(context.get(), keyBytes, key.size(), parameters) != 1) {
        fail("start an HMAC");
    }
    for (std::string_view part : parts) {
        if (EVP_MAC_update(context.get(), reinterpret_cast<const unsigned char*>(part.data()), part.size()) != 1) {
            fail("compute an HMAC");
        }
    }
    Mac mac{};
    std::size_t length = 0;
    if (EVP_MAC_final(context.get(), mac.data(), &length, mac.size()) != 1 || length != mac.size()) {
        fail("finish an HMAC");
    }
    return mac;
}

void randomBytes(std::span<unsigned char> bytes) {
    while (!bytes.empty()) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size(), INT_MAX);
        if (RAND_bytes(bytes.data(), static_cast<int>(chunk)) != 1) {
            fail("deliver random bytes");
        }
        bytes = bytes.subspan(chunk);
    }
}

} // namespace quorlan::platform
