#include "fakes/temp_folder.h"
#include "platform/runtime_folder.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlan::platform {
namespace {

mode_t modeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(RuntimeFolder, onlyAPrivateFolderOfTheUsersOwnIsClaimed) {
    const testing::TempFolder folder;
    folder.makeFolder("private");
    ::chmod(folder.path("private").c_str(), 0700);
    folder.makeFolder("open");
    ::chmod(folder.path("open").c_str(), 0755);
    folder.write("file", "");
    std::filesystem::create_directory_symlink(folder.path("private"), folder.path("link"));
    const uid_t me = ::geteuid();
    const struct {
        const char* name;
        uid_t uid;
        std::string why; // empty: claimed, and private now
    } cases[] = {
        {"missing", me, ""},
        {"private", me, ""},
        {"open", me, ""},
        {"private", me + 1, "belongs to user number " + std::to_string(me) + ", not to this user"},
        {"link", me, "is a symbolic link"},
        {"file", me, "is no folder"},
        {"absent/below", me, "cannot be created: No such file or directory"},
    };
    for (const auto& c : cases) {
        const std::string path = folder.path(c.name);
        const std::string why = claimRuntimeFolder(path, c.uid);
        EXPECT_EQ(why.substr(0, c.why.size()), c.why) << c.name;
        EXPECT_EQ(why.empty(), c.why.empty()) << c.name << ": " << why;
        if (c.why.empty()) {
            EXPECT_EQ(modeOf(path), 0700u) << c.name;
        }
    }
    EXPECT_EQ(modeOf(folder.path("private")), 0700u) << "a refused claim changes nothing";
}

TEST(RuntimeFolder, theSessionFolderFirstThenTheOneQtWouldTake) {
    const testing::TempFolder folder;
    const uid_t me = ::geteuid();
    const std::string session = folder.makeFolder("run-user");
    ::chmod(session.c_str(), 0700);
    const std::string temporary = folder.makeFolder("tmp");

    EXPECT_EQ(chooseRuntimeFolder(session, temporary, "op", me).path, session);
    const RuntimeFolder usual = chooseRuntimeFolder(folder.path("no-session"), temporary, "op", me);
    EXPECT_EQ(usual.path, temporary + "/runtime-op");
    EXPECT_EQ(usual.problem, "");
    EXPECT_EQ(modeOf(usual.path), 0700u);
    EXPECT_FALSE(std::filesystem::exists(folder.path("no-session"))) << "the session manager's to make";
}

// A folder planted under the usual name by someone else would get our locks, or could be swapped
// for a link: a private one of our own is made instead, and the user is told.
TEST(RuntimeFolder, aFolderPlantedUnderTheUsualNameIsNotUsed) {
    const testing::TempFolder folder;
    const std::string temporary = folder.makeFolder("tmp");
    const std::string planted = folder.makeFolder("elsewhere");
    std::filesystem::create_directory_symlink(planted, temporary + "/runtime-op");
    const RuntimeFolder chosen = chooseRuntimeFolder(folder.path("no-session"), temporary, "op", ::geteuid());
    EXPECT_TRUE(chosen.path.starts_with(temporary + "/runtime-op-")) << chosen.path;
    EXPECT_EQ(modeOf(chosen.path), 0700u);
    EXPECT_EQ(chosen.problem, "the runtime folder " + temporary + "/runtime-op is a symbolic link; this run uses " +
                                  chosen.path + ", where other programs of this user do not look");
    EXPECT_TRUE(std::filesystem::is_empty(planted));
}

// Sets an environment variable for the test's length.
class Variable final {
public:
    Variable(const char* name, const std::string& value) : m_name(name) {
        if (const char* before = std::getenv(name)) {
            m_before = before;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~Variable() {
        if (m_before) {
            ::setenv(m_name, m_before->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }
    Variable(const Variable&) = delete;
    Variable& operator=(const Variable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_before;
};

// A set variable is kept when it names a folder of the user's own; one that names anything else
// (someone else's folder, where a planted lock would keep the station from starting) is replaced
// by the folder chosen as without it, and the user is told.
TEST(RuntimeFolder, aSetVariableIsKeptOnlyForAFolderOfTheUsersOwn) {
    const testing::TempFolder folder;
    const Variable temporary("TMPDIR", folder.makeFolder("tmp"));
    const std::string own = folder.makeFolder("own");
    ::chmod(own.c_str(), 0700);
    {
        const Variable set("XDG_RUNTIME_DIR", own);
        const RuntimeFolder settled = settleRuntimeFolder();
        EXPECT_EQ(settled.path, own);
        EXPECT_EQ(settled.problem, "");
    }
    const std::string notOwn = folder.path("file");
    folder.write("file", "");
    const Variable set("XDG_RUNTIME_DIR", notOwn);
    const RuntimeFolder settled = settleRuntimeFolder();
    EXPECT_NE(settled.path, notOwn);
    EXPECT_STREQ(std::getenv("XDG_RUNTIME_DIR"), settled.path.c_str());
    EXPECT_TRUE(settled.problem.starts_with("$XDG_RUNTIME_DIR " + notOwn + " is no folder; ")) << settled.problem;
}

} // namespace
} // namespace quorlan::platform
