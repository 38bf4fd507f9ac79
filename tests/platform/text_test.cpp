#include "platform/device_access.h"
#include "platform/text.h"

#include <gtest/gtest.h>

namespace quorlan::platform {
namespace {

TEST(VisibleText, controlCharactersAreShownAsEscapesAndNothingElseChanges) {
    const struct {
        std::string text;
        std::string shown;
        std::string journal; // backslashes escaped too
    } cases[] = {
        {"Ready.", "Ready.", "Ready."},
        {"C:\\ZUNT\\PRODUCT\\", "C:\\ZUNT\\PRODUCT\\", "C:\\\\ZUNT\\\\PRODUCT\\\\"},
        {"\x1B[2J\a", "\\x1B[2J\\x07", "\\x1B[2J\\x07"},
        {"A\r\nB\tC", "A\\r\\nB\\tC", "A\\r\\nB\\tC"},
        {std::string("\0\x7F\x81\x9D", 4), "\\x00\\x7F\\x81\\x9D", "\\x00\\x7F\\x81\\x9D"},
        {"\xF1\xD1\x80\x9B", "\xF1\xD1\x80\x9B", "\xF1\xD1\x80\x9B"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(visibleText(c.text), c.shown) << c.shown;
        EXPECT_EQ(escapeControls(c.text, true), c.journal) << c.shown;
    }
}

TEST(VisibleText, hugeTextIsCutWithANoteOfWhatWasLeftOut) {
    EXPECT_EQ(visibleText(std::string(1005, 'A'), 1000), std::string(1000, 'A') + "... (5 more characters)");
    EXPECT_EQ(visibleText(std::string(1000, 'A'), 1000), std::string(1000, 'A'));
}

TEST(PermissionHint, namesTheDialoutGroupOnlyWhenItIsTheCause) {
    DeviceAccess access{"/dev/ttyACM0", "root", "dialout", "crw-rw----", "op", false, false};
    EXPECT_EQ(permissionHint(access), "Permission denied: /dev/ttyACM0 belongs to the group dialout and op is not a "
                                      "member; add the user to it (sudo usermod -aG dialout op) and log in again");
    access.userListed = true;
    EXPECT_EQ(permissionHint(access), "Permission denied: /dev/ttyACM0 belongs to the group dialout, which op joined "
                                      "after logging in; log out and in again so that it applies");
    for (const auto& [group, inGroup] : {std::pair{"root", false}, std::pair{"dialout", true}}) {
        access.group = group;
        access.userInGroup = inGroup;
        access.mode = "crw-------";
        EXPECT_EQ(permissionHint(access), "Permission denied: op may not open /dev/ttyACM0 (owner root, group " +
                                              std::string(group) + ", mode crw-------)");
    }
}

} // namespace
} // namespace quorlan::platform
