#include "platform/ini_file.h"
#include "platform/temp_folder.h"

#include <climits>
#include <filesystem>
#include <gtest/gtest.h>

namespace quorlan::platform {
namespace {

using testing::TempFolder;

struct ReadCase {
    const char* name;
    std::string file;
    std::string section;
    std::string key;
    std::size_t bufferSize;
    std::string expected;
};

class IniReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniReadTest, readsWithPrivateProfileRules) {
    const TempFolder folder;
    const auto& c = GetParam();
    const auto path = folder.write("QZT.INI", c.file);
    EXPECT_EQ(getPrivateProfileString(c.section, c.key, "DEF", c.bufferSize, path), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniReadTest,
    ::testing::Values(
        ReadCase{"crlf", "[KORVALDE]\r\nSettings=9600,N,8,1\r\n", "KORVALDE", "Settings", 128, "9600,N,8,1"},
        ReadCase{"lf", "[KORVALDE]\nSettings=9600,N,8,1\n", "KORVALDE", "Settings", 128, "9600,N,8,1"},
        ReadCase{"lastLineUnterminated", "[KORVALDE]\nA=x", "KORVALDE", "A", 128, "x"},
        ReadCase{"namesIgnoreCase", "[korvalde]\r\ncommport=3\r\n", "KORVALDE", "CommPort", 128, "3"},
        ReadCase{"blanksAroundNamesAndValue", "  [ KORVALDE ]  \r\n\t GCodePath \t=  D:\\P  \r\n", "KORVALDE",
                 "GCodePath", 128, "D:\\P"},
        ReadCase{"doubleQuotes", "[KORVALDE]\r\nA=\"  x  \"\r\n", "KORVALDE", "A", 128, "  x  "},
        ReadCase{"singleQuotes", "[KORVALDE]\r\nA='x'\r\n", "KORVALDE", "A", 128, "x"},
        ReadCase{"unmatchedQuotesStay", "[KORVALDE]\r\nA=\"x'\r\n", "KORVALDE", "A", 128, "\"x'"},
        ReadCase{"loneQuoteStays", "[KORVALDE]\r\nA=\"\r\n", "KORVALDE", "A", 128, "\""},
        ReadCase{"cutToBuffer", "[KORVALDE]\r\nA=" + std::string(200, 'x') + "\r\n", "KORVALDE", "A", 128,
                 std::string(127, 'x')},
        ReadCase{"defaultCutToo", "", "KORVALDE", "A", 3, "DE"},
        ReadCase{"zeroBuffer", "[KORVALDE]\r\nA=x\r\n", "KORVALDE", "A", 0, ""},
        ReadCase{"emptyValueIsNotMissing", "[KORVALDE]\r\nA=\r\n", "KORVALDE", "A", 128, ""},
        ReadCase{"commentIgnored", "[KORVALDE]\r\n;A=1\r\n  ; A=2\r\n", "KORVALDE", "A", 128, "DEF"},
        ReadCase{"lineWithoutEqualsIgnored", "[KORVALDE]\r\nA\r\n", "KORVALDE", "A", 128, "DEF"},
        ReadCase{"firstKeyWins", "[KORVALDE]\r\nA=1\r\na=2\r\n", "KORVALDE", "A", 128, "1"},
        ReadCase{"firstSectionWins", "[KORVALDE]\r\nB=1\r\n[KORVALDE]\r\nA=2\r\n", "KORVALDE", "A", 128, "DEF"},
        ReadCase{"keyOfOtherSection", "[OTHER]\r\nA=1\r\n[KORVALDE]\r\nB=2\r\n", "KORVALDE", "A", 128, "DEF"},
        ReadCase{"keyBeforeAnySection", "A=1\r\n[KORVALDE]\r\n", "KORVALDE", "A", 128, "DEF"},
        ReadCase{"missingSection", "[OTHER]\r\nA=1\r\n", "KORVALDE", "A", 128, "DEF"},
        ReadCase{"valueWithEquals", "[KORVALDE]\r\nA=b=c\r\n", "KORVALDE", "A", 128, "b=c"},
        ReadCase{"highBytesKept", "[KORVALDE]\r\nA=\xF1\xD1\r\n", "KORVALDE", "A", 128, "\xF1\xD1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniFile, fileThatCannotBeReadCountsAsMissing) {
    const TempFolder folder;
    EXPECT_EQ(getPrivateProfileString("KORVALDE", "A", "DEF", 128, folder.path("none.ini")), "DEF");
    EXPECT_EQ(getPrivateProfileString("KORVALDE", "A", "DEF", 128, folder.makeFolder("dir.ini")), "DEF");
    EXPECT_EQ(getPrivateProfileInt("KORVALDE", "A", 7, folder.path("none.ini")), 7);
}

struct IntCase {
    const char* name;
    std::string line; // empty: the key is missing
    long expected;
};

class IniIntTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(IniIntTest, readsLeadingInteger) {
    const TempFolder folder;
    const auto path = folder.write("QZT.INI", "[KORVALDE]\r\n" + GetParam().line + "\r\n");
    EXPECT_EQ(getPrivateProfileInt("KORVALDE", "N", 1000, path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniIntTest,
                         ::testing::Values(IntCase{"plain", "N=42", 42}, IntCase{"blankBefore", "N= 1", 1},
                                           IntCase{"negative", "N=-5", -5}, IntCase{"plusSign", "N=+7", 7},
                                           IntCase{"trailingText", "N=12abc", 12}, IntCase{"nonNumeric", "N=abc", 0},
                                           IntCase{"signOnly", "N=-", 0}, IntCase{"quoted", "N='5'", 5},
                                           IntCase{"emptyReadsAsMissing", "N=", 1000}, IntCase{"missing", "", 1000},
                                           IntCase{"tooLarge", "N=99999999999", INT_MAX},
                                           IntCase{"tooSmall", "N=-99999999999", INT_MIN}),
                         [](const auto& info) { return std::string(info.param.name); });

struct WriteCase {
    const char* name;
    std::string before; // "-" : no file yet
    std::string key;
    std::string value;
    std::string after;
};

class IniWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniWriteTest, changesOnlyTheKeyLine) {
    const TempFolder folder;
    const auto& c = GetParam();
    const auto path = c.before == "-" ? folder.path("QZT.INI") : folder.write("QZT.INI", c.before);
    EXPECT_TRUE(writePrivateProfileString("KORVALDE", c.key, c.value, path));
    EXPECT_EQ(folder.read("QZT.INI"), c.after);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1) << "temporary file left";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniWriteTest,
    ::testing::Values(
        WriteCase{"newFileUsesCrlf", "-", "CommPort", "1", "[KORVALDE]\r\nCommPort=1\r\n"},
        WriteCase{"replaceInPlaceCrlf", "; top\r\n[KORVALDE]\r\n  Settings =  9600,N,8,1 \r\nCommPort=1\r\n\r\n",
                  "Settings", "19200,E,7,2", "; top\r\n[KORVALDE]\r\nSettings=19200,E,7,2\r\nCommPort=1\r\n\r\n"},
        WriteCase{"replaceInPlaceLf", "[KORVALDE]\nA=1\nB=2\n", "A", " 0", "[KORVALDE]\nA= 0\nB=2\n"},
        WriteCase{"keyInFileSpelling", "[korvalde]\r\ncommport=1\r\n", "CommPort", "3", "[korvalde]\r\ncommport=3\r\n"},
        WriteCase{"firstOfTwoKeys", "[KORVALDE]\nA=1\nA=2\n", "A", "9", "[KORVALDE]\nA=9\nA=2\n"},
        WriteCase{"addAfterLastNonBlankLine", "[KORVALDE]\r\nA=1\r\n\r\n[OTHER]\r\nB=2\r\n", "C", "3",
                  "[KORVALDE]\r\nA=1\r\nC=3\r\n\r\n[OTHER]\r\nB=2\r\n"},
        WriteCase{"addToEmptySection", "[KORVALDE]\n\n[OTHER]\n", "C", "3", "[KORVALDE]\nC=3\n\n[OTHER]\n"},
        WriteCase{"addAtUnterminatedEnd", "[KORVALDE]\nA=1", "C", "3", "[KORVALDE]\nA=1\nC=3\n"},
        WriteCase{"addSectionAtEnd", "[OTHER]\nB=2", "C", "3", "[OTHER]\nB=2\n[KORVALDE]\nC=3\n"},
        WriteCase{"intoFirstOfTwoSections", "[KORVALDE]\nA=1\n[KORVALDE]\nC=0\n", "C", "3",
                  "[KORVALDE]\nA=1\nC=3\n[KORVALDE]\nC=0\n"},
        WriteCase{"commentedKeyIsNotTheKey", "[KORVALDE]\n;C=1\n", "C", "3", "[KORVALDE]\n;C=1\nC=3\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniFile, refusesWhatWouldBreakTheFile) {
    const TempFolder folder;
    const std::string original = "[KORVALDE]\r\nA=1\r\n";
    const auto path = folder.write("QZT.INI", original);
    EXPECT_FALSE(writePrivateProfileString("KORVALDE", "A", "1\r\n[EVIL]", path));
    EXPECT_FALSE(writePrivateProfileString("KORVALDE", "A=B", "1", path));
    EXPECT_FALSE(writePrivateProfileString("KOR]VALDE", "A", "1", path));
    EXPECT_FALSE(writePrivateProfileString("KORVALDE", " ", "1", path));
    EXPECT_EQ(folder.read("QZT.INI"), original);
}

TEST(IniFile, failsSilentlyWithoutHarm) {
    const TempFolder folder;
    EXPECT_FALSE(writePrivateProfileString("KORVALDE", "A", "1", folder.makeFolder("dir.ini")));
    EXPECT_FALSE(writePrivateProfileString("KORVALDE", "A", "1", folder.path("missing/QZT.INI")));
    IniFileSection section(folder.path("missing/QZT.INI"), "KORVALDE");
    section.writeString("A", "1");
    EXPECT_FALSE(std::filesystem::exists(folder.path("missing")));
}

TEST(IniFile, linkedFileIsChangedWhereItLives) {
    const TempFolder folder;
    const auto real = folder.write("real/QZT.INI", "[KORVALDE]\nA=1\n");
    std::filesystem::create_symlink(real, folder.path("QZT.INI"));
    IniFileSection section(folder.path("QZT.INI"), "KORVALDE");
    section.writeString("A", "2");
    EXPECT_TRUE(std::filesystem::is_symlink(folder.path("QZT.INI")));
    EXPECT_EQ(folder.read("real/QZT.INI"), "[KORVALDE]\nA=2\n");
    EXPECT_EQ(section.getString("a", "", 128), "2");
    EXPECT_EQ(section.getInt("A", 0), 2);
}

} // namespace
} // namespace quorlan::platform
