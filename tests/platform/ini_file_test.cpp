#include "fakes/temp_folder.h"
#include "platform/ini_file.h"
#include "platform/profile_reading_cases.h"

#include <climits>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorlan::platform {
namespace {

using testing::TempFolder;

constexpr unsigned kNobody = 65534;

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
        // Each of CR, LF and CR LF ends a line; a byte order mark does not hide the first section.
        {"[KORVALDE]\rB=1\rA=cr only\r", 128, "cr only"},
        {"[KORVALDE]\r\r\nA=converted twice\r\r\n", 128, "converted twice"},
        {"[KORVALDE]\n\rA=mixed\n", 128, "mixed"},
        {"\xEF\xBB\xBF[KORVALDE]\r\nA=after mark\r\n", 128, "after mark"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(getPrivateProfileString("KORVALDE", "A", "DEF", c.bufferSize, folder.write("QZT.INI", c.file)),
                  c.expected)
            << c.file;
    }
    EXPECT_EQ(getPrivateProfileString("KORVALDE", "A", "DEF", 128, folder.makeFolder("unreadable")), "DEF");
}

using testing::utf16;

// Files saved as "Unicode" or with a UTF-8 mark read as the platform reads them: the text is
// Unicode, and values come in the code page; a character it cannot hold is '?'. The end-of-file
// mark of old editors (Ctrl-Z) is a blank.
TEST(IniFile, readsUnicodeFilesAndDropsTheEndOfFileMarkAsThePlatformDoes) {
    const TempFolder folder;
    for (const auto& c : testing::profileReadingCases()) {
        EXPECT_EQ(getPrivateProfileString("KORVALDE", "A", "DEF", 128, folder.write("QZT.INI", c.file)), c.expected)
            << c.what;
    }
    EXPECT_EQ(getPrivateProfileString("KORVALDE", "A", "DEF", 128,
                                      folder.write("QZT.INI", utf16("[KORVALDE]\r\nA=odd\r\n") + "\x41")),
              "odd");
    EXPECT_EQ(
        getPrivateProfileInt("KORVALDE", "HalfLimitX", 1, folder.write("QZT.INI", "[KORVALDE]\nHalfLimitX=7\x1A")), 7);
    EXPECT_EQ(getPrivateProfileInt("KORVALDE", "A", 1, folder.write("QZT.INI", utf16("[KORVALDE]\r\nA= 42\r\n"))), 42);
}

// A write goes into a Unicode file in its own encoding, and every other line stays as it was,
// characters the code page cannot hold included.
TEST(IniFile, writesIntoUnicodeFilesInTheirOwnEncoding) {
    const std::string omega = "\xA9\x03";
    const struct {
        std::string before;
        std::string value;
        std::string after;
    } cases[] = {
        {utf16("[KORVALDE]\r\nA=1\r\n"), "2", utf16("[KORVALDE]\r\nA=2\r\n")},
        {utf16("; ") + omega + utf16("\r\n[KORVALDE]\r\n").substr(2), "\xFC",
         utf16("; ") + omega + utf16("\r\n[KORVALDE]\r\nA=\xFC\r\n").substr(2)},
        {utf16("[X]\nB=1", false), "v", utf16("[X]\nB=1\n[KORVALDE]\nA=v\n", false)},
        {"\xEF\xBB\xBF[KORVALDE]\r\nA=1\r\n", "\xFC\x80", "\xEF\xBB\xBF[KORVALDE]\r\nA=\xC3\xBC\xE2\x82\xAC\r\n"},
    };
    for (const auto& c : cases) {
        const TempFolder folder;
        const auto path = folder.write("QZT.INI", c.before);
        EXPECT_TRUE(writePrivateProfileString("KORVALDE", "A", c.value, path));
        EXPECT_EQ(folder.read("QZT.INI"), c.after) << c.value;
        EXPECT_EQ(getPrivateProfileString("KORVALDE", "A", "DEF", 128, path), c.value);
    }
}

// The parsed file is kept while it is unchanged, and any change is seen at the next read: one of
// the same size a moment later, a new file put in its place, its removal.
TEST(IniFile, everyChangeOfTheFileIsSeenAtTheNextRead) {
    const TempFolder folder;
    const auto path = folder.write("QZT.INI", "[KORVALDE]\r\nA=1\r\n");
    IniFileSection section(path, "KORVALDE");
    EXPECT_EQ(section.getString("A", "DEF", 128), "1");
    folder.write("QZT.INI", "[KORVALDE]\r\nA=2\r\n");
    EXPECT_EQ(section.getString("A", "DEF", 128), "2");
    folder.write("other", "[KORVALDE]\r\nA=3\r\n");
    std::filesystem::rename(folder.path("other"), path);
    EXPECT_EQ(section.getString("A", "DEF", 128), "3");
    section.writeString("A", "4");
    EXPECT_EQ(section.getInt("A", 0), 4);
    std::filesystem::remove(path);
    EXPECT_EQ(section.getString("A", "DEF", 128), "DEF");
}

// A FIFO under the settings file's name would never answer: it reads as missing at once.
TEST(IniFile, fifoReadsAsMissingAndIsNotWritten) {
    const TempFolder folder;
    ASSERT_EQ(::mkfifo(folder.path("QZT.INI").c_str(), 0600), 0);
    EXPECT_EQ(getPrivateProfileString("KORVALDE", "A", "DEF", 128, folder.path("QZT.INI")), "DEF");
    EXPECT_FALSE(writePrivateProfileString("KORVALDE", "A", "1", folder.path("QZT.INI")));
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
        {"[KORVALDE]\rA=1\rB=2\r", "A", "[KORVALDE]\rA=v\rB=2\r"},
        {"[KORVALDE]\rB=2", "A", "[KORVALDE]\rB=2\rA=v\r"},
        {"[KORVALDE]\r\r\nA=1\r\r\n", "A", "[KORVALDE]\r\r\nA=v\r\r\n"},
        {"\xEF\xBB\xBF[KORVALDE]\r\nA=1\r\n", "A", "\xEF\xBB\xBF[KORVALDE]\r\nA=v\r\n"},
        {"\xEF\xBB\xBF", "A", "\xEF\xBB\xBF[KORVALDE]\r\nA=v\r\n"},
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

// Runs the action as a user who owns nothing here (nobody, when the tests run as root), the way
// a station runs beside files an administrator set up. The action's result is the exit status.
bool asAnotherUser(const std::function<bool()>& action) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            std::_Exit(2);
        }
        std::_Exit(action() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct stat statusOf(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status;
}

TEST(IniFile, fileWithoutWritePermissionIsNeverChanged) {
    const TempFolder folder;
    const auto path = folder.write("QZT.INI", "[KORVALDE]\r\nA=1\r\n");
    ::chmod(path.c_str(), 0444);
    EXPECT_FALSE(writePrivateProfileString("KORVALDE", "A", "2", path));
    EXPECT_EQ(folder.read("QZT.INI"), "[KORVALDE]\r\nA=1\r\n");
    EXPECT_EQ(statusOf(path).st_mode & 07777, 0444U);
}

TEST(IniFile, fileOfAnotherUserInAWritableFolderIsNotReplaced) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give the file another owner";
    }
    const TempFolder folder;
    ::chmod(folder.path().c_str(), 0777);
    const auto path = folder.write("QZT.INI", "[KORVALDE]\r\nA=1\r\n");
    ::chmod(path.c_str(), 0644);
    EXPECT_FALSE(asAnotherUser([&] { return writePrivateProfileString("KORVALDE", "A", "2", path); }));
    EXPECT_EQ(folder.read("QZT.INI"), "[KORVALDE]\r\nA=1\r\n");
    EXPECT_EQ(statusOf(path).st_uid, 0U);
}

TEST(IniFile, writableFileInAReadOnlyFolderIsRewrittenInPlace) {
    const TempFolder folder;
    const auto path = folder.write("locked/QZT.INI", "[KORVALDE]\r\nA=1\r\nB=2\r\n");
    ::chmod(path.c_str(), 0666);
    ::chmod(folder.path("locked").c_str(), 0555);
    ::chmod(folder.path().c_str(), 0755);
    EXPECT_TRUE(asAnotherUser([&] { return writePrivateProfileString("KORVALDE", "B", "", path); }));
    ::chmod(folder.path("locked").c_str(), 0755);
    EXPECT_EQ(folder.read("locked/QZT.INI"), "[KORVALDE]\r\nA=1\r\nB=\r\n");
}

TEST(IniFile, replacedFileKeepsItsOwnerAndMode) {
    const TempFolder folder;
    const auto path = folder.write("QZT.INI", "[KORVALDE]\r\nA=1\r\n");
    ::chmod(path.c_str(), 0640);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    }
    EXPECT_TRUE(writePrivateProfileString("KORVALDE", "A", "2", path));
    EXPECT_EQ(folder.read("QZT.INI"), "[KORVALDE]\r\nA=2\r\n");
    const struct stat after = statusOf(path);
    EXPECT_EQ(after.st_mode & 07777, 0640U);
    if (root) {
        EXPECT_EQ(after.st_uid, kNobody);
        EXPECT_EQ(after.st_gid, kNobody);
    }
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
