#include "platform/ini_file.h"
#include "platform/temp_folder.h"

#include <climits>
#include <gtest/gtest.h>

namespace quorlan::platform {
namespace {

using testing::TempFolder;

TEST(IniFile, readsWithPrivateProfileRules) {
    const TempFolder folder;
    const struct {
        std::string file;
        std::size_t bufferSize;
        std::string expected;
    } cases[] = {
        {"[KORVALDE]\r\nA=9600,N,8,1\r\n", 128, "9600,N,8,1"},
        {"[korvalde]\nb=2\na=1", 128, "1"},
        {"  [ KORVALDE ]\r\n\t A \t=  \"  x  \"  \r\n", 128, "  x  "},
        {"[KORVALDE]\r\nA='x'\r\n", 128, "x"},
        {"[KORVALDE]\r\nA=\"x'\r\n", 128, "\"x'"},
        {"[KORVALDE]\r\nA=" + std::string(200, 'x') + "\r\n", 128, std::string(127, 'x')},
        {"[KORVALDE]\r\nA=\r\n", 128, ""},
        {"[KORVALDE]\r\n;A=1\r\nA\r\n", 128, "DEF"},
        {"[KORVALDE]\r\nA=1\r\na=2\r\n", 128, "1"},
        {"[KORVALDE]\r\nB=1\r\n[KORVALDE]\r\nA=2\r\n", 128, "DEF"},
        {"A=1\r\n[OTHER]\r\nA=1\r\n", 128, "DEF"},
        {"", 3, "DE"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(getPrivateProfileString("KORVALDE", "A", "DEF", c.bufferSize, folder.write("QZT.INI", c.file)),
                  c.expected)
            << c.file;
    }
    EXPECT_EQ(getPrivateProfileString("KORVALDE", "A", "DEF", 128, folder.makeFolder("unreadable")), "DEF");
}

TEST(IniFile, readsTheLeadingInteger) {
    const TempFolder folder;
    const std::pair<std::string, long> cases[] = {
        {"N=42", 42},    {"N= 1", 1},  {"N=-5", -5},
        {"N=12abc", 12}, {"N=abc", 0}, {"N='5'", 5},
        {"N=", 1000},    {"", 1000},   {"N=99999999999", INT_MAX},
    };
    for (const auto& [line, expected] : cases) {
        EXPECT_EQ(getPrivateProfileInt("KORVALDE", "N", 1000, folder.write("QZT.INI", "[KORVALDE]\n" + line)), expected)
            << line;
    }
}

TEST(IniFile, writeChangesOnlyTheKeyLine) {
    const struct {
        std::string before; // "-": no file yet
        std::string key;
        std::string after;
    } cases[] = {
        {"-", "A", "[KORVALDE]\r\nA=v\r\n"},
        {"; top\r\n[KORVALDE]\r\n  A =  1 \r\nB=1\r\n\r\n", "A", "; top\r\n[KORVALDE]\r\nA=v\r\nB=1\r\n\r\n"},
        {"[korvalde]\nb=1\na=1\na=2\n", "A", "[korvalde]\nb=1\na=v\na=2\n"},
        {"[KORVALDE]\r\nB=1\r\n;A=1\r\n\r\n[X]\r\nA=2\r\n", "A",
         "[KORVALDE]\r\nB=1\r\n;A=1\r\nA=v\r\n\r\n[X]\r\nA=2\r\n"},
        {"[KORVALDE]\nB=1", "A", "[KORVALDE]\nB=1\nA=v\n"},
        {"[X]\nB=2", "A", "[X]\nB=2\n[KORVALDE]\nA=v\n"},
        {"[KORVALDE]\n[KORVALDE]\nA=0\n", "A", "[KORVALDE]\nA=v\n[KORVALDE]\nA=0\n"},
    };
    for (const auto& c : cases) {
        const TempFolder folder;
        const auto path = c.before == "-" ? folder.path("QZT.INI") : folder.write("QZT.INI", c.before);
        EXPECT_TRUE(writePrivateProfileString("KORVALDE", c.key, "v", path));
        EXPECT_EQ(folder.read("QZT.INI"), c.after);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1) << "temporary file left";
    }
}

TEST(IniFile, writeRefusesWhatWouldBreakTheFile) {
    const TempFolder folder;
    const auto path = folder.write("QZT.INI", "[KORVALDE]\r\nA=1\r\n");
    EXPECT_FALSE(writePrivateProfileString("KORVALDE", "A", "1\r\n[EVIL]", path));
    EXPECT_FALSE(writePrivateProfileString("KORVALDE", "A=B", "1", path));
    EXPECT_FALSE(writePrivateProfileString("KORVALDE", "A", "1", folder.makeFolder("unreadable")));
    EXPECT_FALSE(writePrivateProfileString("KORVALDE", "A", "1", folder.path("missing/QZT.INI")));
    EXPECT_EQ(folder.read("QZT.INI"), "[KORVALDE]\r\nA=1\r\n");
}

TEST(IniFile, linkedFileIsChangedWhereItLives) {
    const TempFolder folder;
    std::filesystem::create_symlink(folder.write("real/QZT.INI", "[KORVALDE]\nA=1\n"), folder.path("QZT.INI"));
    IniFileSection section(folder.path("QZT.INI"), "KORVALDE");
    section.writeString("A", "2");
    EXPECT_TRUE(std::filesystem::is_symlink(folder.path("QZT.INI")));
    EXPECT_EQ(folder.read("real/QZT.INI"), "[KORVALDE]\nA=2\n");
}

} // namespace
} // namespace quorlan::platform
