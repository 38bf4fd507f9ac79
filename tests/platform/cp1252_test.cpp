#include "platform/cp1252.h"
#include "platform/text.h"

#include <gtest/gtest.h>

namespace quorlan::platform {
namespace {

TEST(Cp1252, everyByteComesBackFromItsCodePoint) {
    for (int byte = 0; byte <= 0xFF; ++byte) {
        const char32_t codePoint = cp1252CodePoint(static_cast<unsigned char>(byte));
        EXPECT_EQ(cp1252Byte(codePoint), static_cast<char>(byte)) << "byte " << byte;
    }
    EXPECT_EQ(cp1252CodePoint(0x80), U'\u20AC');
    EXPECT_EQ(cp1252CodePoint(0x9F), U'\u0178');
    EXPECT_EQ(cp1252CodePoint(0xF1), U'\u00F1');
    EXPECT_EQ(cp1252Byte(U'\u4E2D'), std::nullopt);
    EXPECT_EQ(cp1252Byte(U'\u0080'), std::nullopt); // a C1 control the code page puts the euro sign in place of
}

TEST(Cp1252ToUtf8, everyByteBecomesItsCharacter_theUndefinedOnesKeepTheirControlCodes) {
    const std::pair<std::string, std::string> cases[] = {
        {"FLANGE", "FLANGE"},
        {"\xF1\xD1", "\xC3\xB1\xC3\x91"}, // n and N with tilde
        {"\x80", "\xE2\x82\xAC"},         // euro sign
        {"\x9F", "\xC5\xB8"},             // Y with diaeresis
        {"\x81\x9D", "\xC2\x81\xC2\x9D"}, // undefined in the code page
        {std::string("\0", 1), std::string("\0", 1)},
    };
    for (const auto& [bytes, utf8] : cases) {
        EXPECT_EQ(cp1252ToUtf8(bytes), utf8) << escapeControls(bytes);
    }
}

TEST(Cp1252, utf8TextIsCheckedAndCarriedOverCharacterByCharacter) {
    const struct {
        std::string utf8;
        std::optional<std::string> bytes;
    } cases[] = {
        {"", std::string()},
        {"FLANGE;#161", std::string("FLANGE;#161")},
        {"\xC3\xB1\xC3\x91\xE2\x82\xAC", std::string("\xF1\xD1\x80")},
        {"\xC2\x81\xC2\x9D", std::string("\x81\x9D")},
        {std::string("\0A", 2), std::string("\0A", 2)},
        {"\xE4\xB8\xAD\xF0\x9F\x98\x80", std::string("??")}, // outside the code page
        {"\xF1", std::nullopt},                              // a lead byte and nothing after it
        {"A\xC3(", std::nullopt},                            // not a continuation byte
        {"\x80", std::nullopt},                              // a continuation byte alone
        {"\xC0\xAF", std::nullopt},                          // overlong
        {"\xE0\x80\xAF", std::nullopt},                      // overlong
        {"\xED\xA0\x80", std::nullopt},                      // a surrogate
        {"\xF4\x90\x80\x80", std::nullopt},                  // beyond U+10FFFF
        {"\xFF", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8ToCp1252(c.utf8), c.bytes) << "text \"" << c.utf8 << "\"";
    }
}

} // namespace
} // namespace quorlan::platform
