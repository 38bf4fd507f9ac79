#include "cnc/program_store.h"
#include "fakes/temp_folder.h"
#include "platform/error.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlan::cnc {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kNobody = 65534;

struct stat statusOf(const fs::path& path) {
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return status;
}

std::string saveError(const std::string& path) {
    try {
        SaveProgramFile(path, "G71 X1 Y2 Z3");
    } catch (const platform::StationError& error) {
        return error.description();
    }
    return {};
}

class ProgramStoreTest : public ::testing::Test {
protected:
    ProgramStoreTest() { fs::create_directories(programs); }

    std::vector<std::string> namesIn(const fs::path& path) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    testing::TempFolder folder;
    const fs::path programs = folder.root() / "programs";
};

TEST_F(ProgramStoreTest, savesWholeProgramsUnderAnyNameAFileCanHave) {
    for (const std::string& name : {std::string("PART7"), std::string(255, 'L'), std::string(".~PART7")}) {
        const auto path = programs / name;
        SaveProgramFile(path.string(), "G71 X1 Y2 Z3");
        EXPECT_EQ(testing::readFile(path), "G71 X1 Y2 Z3\r\n") << name.size();
        SaveProgramFile(path.string(), "G71 X4 Y5 Z6");
        EXPECT_EQ(testing::readFile(path), "G71 X4 Y5 Z6\r\n") << name.size();
        fs::remove(path);
        EXPECT_TRUE(fs::is_empty(programs)) << "a temporary file was left beside " << name.size();
    }
}

// Someone who may write in the program folder plants links where the station's temporary file
// would be if its name could be guessed: nothing is written through them.
TEST_F(ProgramStoreTest, linksPlantedAtGuessableTemporaryNamesAreNeverWrittenThrough) {
    const std::string outside = folder.write("outside/owned-by-root", "untouched");
    const std::string guesses[] = {".~PART7." + std::to_string(::getpid()), ".~PART7", "PART7.tmp", "PART7~"};
    for (const std::string& guess : guesses) {
        fs::create_symlink(outside, programs / guess);
    }
    SaveProgramFile((programs / "PART7").string(), "G71 X1 Y2 Z3");
    EXPECT_EQ(testing::readFile(outside), "untouched");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(programs / "PART7")));
    EXPECT_EQ(testing::readFile(programs / "PART7"), "G71 X1 Y2 Z3\r\n");
    EXPECT_EQ(namesIn(programs).size(), 5U);
}

// A link, or anything else that is not a file, under the program's name is left as it is, and the
// operator is told why the program was not saved.
TEST_F(ProgramStoreTest, whatIsNotAFileUnderTheNameIsRefusedAndLeftAsItWas) {
    const std::string outside = folder.write("outside/target", "untouched");
    folder.write("programs/INSIDE", "inside");
    const struct {
        const char* name;
        std::function<void(const fs::path&)> plant;
        std::string why;
    } cases[] = {
        {"OUT", [&](const fs::path& p) { fs::create_symlink(outside, p); },
         "the program file is a symbolic link (to " + outside +
             "), which the station neither writes through "
             "nor replaces"},
        {"IN", [&](const fs::path& p) { fs::create_symlink("INSIDE", p); },
         "the program file is a symbolic link (to INSIDE), which the station neither writes through nor replaces"},
        {"NOWHERE", [&](const fs::path& p) { fs::create_symlink(folder.root() / "made", p); },
         "the program file is a symbolic link (to " + (folder.root() / "made").string() +
             "), which the station neither writes through nor replaces"},
        {"PIPE", [](const fs::path& p) { ::mkfifo(p.c_str(), 0600); },
         "the program's name is taken by a FIFO, not a file"},
        {"DIR", [](const fs::path& p) { fs::create_directory(p); },
         "the program's name is taken by a folder, not a file"},
    };
    for (const auto& c : cases) {
        const auto path = programs / c.name;
        c.plant(path);
        const auto before = statusOf(path);
        EXPECT_EQ(saveError(path.string()), c.why) << c.name;
        EXPECT_EQ(statusOf(path).st_ino, before.st_ino) << c.name;
        EXPECT_EQ(statusOf(path).st_mode, before.st_mode) << c.name;
    }
    EXPECT_EQ(testing::readFile(outside), "untouched");
    EXPECT_EQ(testing::readFile(programs / "INSIDE"), "inside");
    EXPECT_FALSE(fs::exists(folder.root() / "made"));
    EXPECT_EQ(namesIn(programs), (std::vector<std::string>{"DIR", "IN", "INSIDE", "NOWHERE", "OUT", "PIPE"}));
}

TEST_F(ProgramStoreTest, replacedProgramKeepsItsModeOwnerAndGroupAndAReadOnlyOneIsKept) {
    const auto path = programs / "PART7";
    folder.write("programs/PART7", "old");
    ::chmod(path.c_str(), 0640);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    }
    SaveProgramFile(path.string(), "new");
    EXPECT_EQ(testing::readFile(path), "new\r\n");
    EXPECT_EQ(statusOf(path).st_mode & 07777, 0640U);
    if (root) {
        EXPECT_EQ(statusOf(path).st_uid, kNobody);
        EXPECT_EQ(statusOf(path).st_gid, kNobody);
    }

    ::chmod(path.c_str(), 0444);
    EXPECT_EQ(saveError(path.string()), "the program file is read-only");
    EXPECT_EQ(testing::readFile(path), "new\r\n");
    EXPECT_EQ(namesIn(programs), std::vector<std::string>{"PART7"});
}

} // namespace
} // namespace quorlan::cnc
