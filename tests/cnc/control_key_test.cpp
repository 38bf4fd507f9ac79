#include "cnc/control_key.h"
#include "fakes/error_of.h"
#include "fakes/temp_folder.h"
#include "platform/error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quorlan::cnc {
namespace {

using testing::errorOf;
using ::testing::HasSubstr;

const std::string kDigits = "00112233445566778899aabbccddeeff00112233445566778899AABBCCDDEEFF";

std::string descriptionOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const platform::StationError& error) {
        return error.description();
    }
    return {};
}

TEST(ControlKey, NewKeysAreLinesOfRandomHexDigits) {
    const std::string first = newControlKeyText();
    const std::string second = newControlKeyText();
    EXPECT_THAT(first, ::testing::MatchesRegex("[0-9a-f]{64}\n"));
    EXPECT_NE(first, second);
    EXPECT_EQ(parseControlKey(first).size(), kControlKeyBytes);
}

TEST(ControlKey, ReadsHexDigitsWithBlanksAround) {
    const std::string expected = parseControlKey(kDigits);
    ASSERT_EQ(expected.size(), 32u);
    EXPECT_EQ(static_cast<unsigned char>(expected[0]), 0x00);
    EXPECT_EQ(static_cast<unsigned char>(expected[31]), 0xff);
    for (const std::string& text : {kDigits + "\n", kDigits + "\r\n", "  " + kDigits + " \t\n\n"}) {
        EXPECT_EQ(parseControlKey(text), expected);
    }
    EXPECT_EQ(parseControlKey(kDigits + "0a0b").size(), 34u);
}

TEST(ControlKey, RefusesWhatIsNoKey) {
    struct Case {
        std::string text;
        const char* why;
    };
    const Case cases[] = {
        {"", "holds 0 bytes, fewer than 32"},
        {kDigits.substr(0, 62), "holds 31 bytes, fewer than 32"},
        {kDigits + "0", "an odd number of hex digits"},
        {kDigits.substr(0, 30) + "g" + kDigits.substr(31), "something other than hex digits"},
        {kDigits.substr(0, 32) + " " + kDigits.substr(32), "something other than hex digits"},
        {std::string(32, '\x9c'), "something other than hex digits"},
    };
    for (const Case& c : cases) {
        const std::string description = descriptionOf([&] { parseControlKey(c.text); });
        EXPECT_THAT(description, HasSubstr(c.why)) << c.text;
        EXPECT_THAT(description, HasSubstr("quorlan --new-control-key FILE")) << c.text;
    }
}

TEST(ControlKey, FileIsWrittenOnceAndReadBack) {
    testing::TempFolder folder;
    const std::string path = folder.prefix() + "control.key";
    writeNewControlKey(path);
    const std::string key = readControlKey(path);
    EXPECT_EQ(key.size(), kControlKeyBytes);
    EXPECT_EQ(errorOf([&] { writeNewControlKey(path); }), platform::errc::kFileAlreadyExists);
    EXPECT_EQ(readControlKey(path), key);
}

TEST(ControlKey, FileRefusalsNameTheFile) {
    testing::TempFolder folder;
    const std::string open = folder.write("open.key", kDigits + "\n");
    ::chmod(open.c_str(), 0644);
    EXPECT_THAT(descriptionOf([&] { readControlKey(open); }),
                HasSubstr("the control key file " + open + " is open to other users (mode 0644)"));

    const std::string binary = folder.write("binary.key", std::string(32, '\x9c'));
    ::chmod(binary.c_str(), 0600);
    EXPECT_THAT(descriptionOf([&] { readControlKey(binary); }),
                HasSubstr("the control key file " + binary + " is not a key: it holds something other than hex"));
    EXPECT_THAT(descriptionOf([&] { readControlKey(folder.prefix() + "none.key"); }),
                HasSubstr("the control key file " + folder.prefix() + "none.key" + " cannot be opened"));
}

} // namespace
} // namespace quorlan::cnc
