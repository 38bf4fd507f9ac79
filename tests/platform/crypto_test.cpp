#include "platform/crypto.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quorlan::platform {
namespace {

std::string repeated(int count, unsigned char byte) {
    return std::string(static_cast<std::size_t>(count), static_cast<char>(byte));
}

std::string hex(const Mac& mac, std::size_t length = kMacSize) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += kDigits[mac[i] >> 4];
        text += kDigits[mac[i] & 0x0f];
    }
    return text;
}

struct Vector {
    const char* name;
    std::string key;
    std::string data;
    const char* mac; // fewer than 64 digits: the vector's MAC is truncated to that length
};

// The HMAC-SHA-256 test cases of RFC 4231, which both the Linux and the Windows library must meet.
const std::vector<Vector>& rfc4231() {
    static const std::vector<Vector> vectors = {
        {"case 1", repeated(20, 0x0b), "Hi There", "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
        {"case 2", "Jefe", "what do ya want for nothing?",
         "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        {"case 3", repeated(20, 0xaa), repeated(50, 0xdd),
         "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
        {"case 4",
         "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19",
         repeated(50, 0xcd), "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b"},
        {"case 5", repeated(20, 0x0c), "Test With Truncation", "a3b6167473100ee06e0c796c2955552b"},
        {"case 6", repeated(131, 0xaa), "Test Using Larger Than Block-Size Key - Hash Key First",
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
        {"case 7", repeated(131, 0xaa),
         "This is a test using a larger than block-size key and a larger than block-size data. The key needs to be "
         "hashed before being used by the HMAC algorithm.",
         "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
    };
    return vectors;
}

TEST(HmacSha256, MeetsRfc4231) {
    for (const Vector& vector : rfc4231()) {
        const std::string expected = vector.mac;
        EXPECT_EQ(hex(hmacSha256(vector.key, {vector.data}), expected.size() / 2), expected) << vector.name;
    }
}

// The link MACs a frame's sequence number and body without joining them first.
TEST(HmacSha256, PartsAreOneMessage) {
    const std::string key = repeated(32, 0x5a);
    const Mac whole = hmacSha256(key, {"sequence-and-body"});
    EXPECT_EQ(hmacSha256(key, {"sequence", "-and-", "body"}), whole);
    EXPECT_EQ(hmacSha256(key, {"", "sequence-and-body", ""}), whole);
    EXPECT_NE(hmacSha256(key, {"sequence-and-bodY"}), whole);
    EXPECT_NE(hmacSha256(repeated(32, 0x5b), {"sequence-and-body"}), whole);
}

TEST(HmacSha256, TakesEmptyKeysAndMessages) {
    EXPECT_EQ(hex(hmacSha256("", {})), "b613679a0814d9ec772f95d778c35fc5ff1697c493715653c6c712144292c5ad");
    const std::string megabyte(1 << 20, 'x');
    EXPECT_EQ(hex(hmacSha256("key", {megabyte})), "6a496cf83ed26e3c51195036a4f81f7e1f3e22929c5ad82a93792dfd53b26651");
}

TEST(SameMac, ComparesEveryByte) {
    const Mac mac = hmacSha256("key", {"message"});
    for (std::size_t i = 0; i < kMacSize; ++i) {
        Mac altered = mac;
        altered[i] ^= 0x01;
        EXPECT_FALSE(sameMac(mac, altered)) << "byte " << i;
    }
    EXPECT_TRUE(sameMac(mac, hmacSha256("key", {"message"})));
}

TEST(RandomBytes, FillsAndDiffers) {
    std::vector<unsigned char> first(64, 0), second(64, 0);
    randomBytes(first);
    randomBytes(second);
    EXPECT_NE(first, second);
    // 64 zero bytes from a working source are beyond any chance.
    EXPECT_TRUE(std::any_of(first.begin(), first.end(), [](unsigned char byte) { return byte != 0; }));
}

} // namespace
} // namespace quorlan::platform
