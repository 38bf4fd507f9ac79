#include "fakes/temp_folder.h"
#include "platform/runtime_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string_view>
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
        {"private", me + 1,
         "belongs to user number " + std::to_string(me) + ", not to this user (" + std::to_string(me + 1) + ")"},
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

// Without a session folder every program of the user meets in one fixed folder of the user's own
// cache, made private; anything else found there is refused and left as it is, never swapped for a
// folder of this run alone, which a second station or cnc-sim would not find.
TEST(RuntimeFolder, withoutASessionTheSameFolderInTheUsersCacheOrAClearRefusal) {
    const uid_t me = ::geteuid();
    const std::string fix = ". The station's lock and the control's socket need a folder of this user's own that no "
                            "one else may enter: make it one (chmod 700 ";
    const struct {
        const char* name;
        void (*plant)(const std::string& folder); // what is at cache/quorlan/runtime before
        uid_t uid;
        std::string why; // empty: used
    } cases[] = {
        {"nothing yet", [](const std::string&) {}, me, ""},
        {"a private folder", [](const std::string& f) { ::mkdir(f.c_str(), 0700); }, me, ""},
        {"an open folder", [](const std::string& f) { ::mkdir(f.c_str(), 0750); }, me,
         "has mode 0750: other users may enter it"},
        {"someone else's", [](const std::string& f) { ::mkdir(f.c_str(), 0700); }, me + 1,
         "belongs to user number " + std::to_string(me) + ", not to this user (" + std::to_string(me + 1) + ")"},
        {"a link to a private folder",
         [](const std::string& f) {
             ::mkdir((f + "-elsewhere").c_str(), 0700);
             std::filesystem::create_directory_symlink(f + "-elsewhere", f);
         },
         me, "is a symbolic link"},
        {"a file", [](const std::string& f) { std::ofstream{f}; }, me, "is no folder"},
    };
    for (const auto& c : cases) {
        const testing::TempFolder folder;
        const std::string cache = folder.path("home/.cache");
        const std::string runtime = cache + "/quorlan/runtime";
        if (std::string_view(c.name) != "nothing yet") {
            std::filesystem::create_directories(cache + "/quorlan");
        }
        c.plant(runtime);
        struct stat before {};
        ::lstat(runtime.c_str(), &before);
        const RuntimeFolder chosen = chooseRuntimeFolder(folder.path("no-session"), cache, c.uid);
        if (c.why.empty()) {
            EXPECT_EQ(chosen.path, runtime) << c.name;
            EXPECT_EQ(chosen.problem, "") << c.name;
            EXPECT_EQ(modeOf(runtime), 0700u) << c.name;
            EXPECT_EQ(chooseRuntimeFolder(folder.path("no-session"), cache, c.uid).path, runtime) << "again";
        } else {
            EXPECT_EQ(chosen.path, "") << c.name;
            EXPECT_EQ(chosen.problem, "the runtime folder " + runtime + " " + c.why + fix + runtime +
                                          ", or mkdir -m 700 " + runtime +
                                          " in its place) or set XDG_RUNTIME_DIR to such a folder")
                << c.name;
            EXPECT_EQ(modeOf(runtime), before.st_mode & 07777) << c.name << ": a refused folder is left as it is";
        }
    }
}

TEST(RuntimeFolder, theSessionFolderComesFirstAndMissingCacheFoldersAreMadePrivate) {
    const testing::TempFolder folder;
    const uid_t me = ::geteuid();
    const std::string session = folder.makeFolder("run-user");
    ::chmod(session.c_str(), 0700);
    const std::string cache = folder.path("home/.cache");

    EXPECT_EQ(chooseRuntimeFolder(session, cache, me).path, session);
    EXPECT_FALSE(std::filesystem::exists(cache)) << "nothing is made when the session's folder does";
    EXPECT_EQ(chooseRuntimeFolder(folder.path("no-session"), cache, me).path, cache + "/quorlan/runtime");
    EXPECT_FALSE(std::filesystem::exists(folder.path("no-session"))) << "the session manager's to make";
    for (const std::string& made : {folder.path("home"), cache, cache + "/quorlan"}) {
        EXPECT_EQ(modeOf(made), 0700u) << made;
    }
    EXPECT_EQ(chooseRuntimeFolder(folder.path("no-session"), "", me).problem,
              "there is no runtime folder: neither $XDG_RUNTIME_DIR, nor $XDG_CACHE_HOME, nor a home folder is "
              "known; set XDG_RUNTIME_DIR to a folder of this user's own with mode 0700");
}

TEST(RuntimeFolder, aSocketPathLongerThanUnixTakesIsNamed) {
    EXPECT_EQ(socketPathProblem("/run/user/1000/quorlan-cnc"), "");
    EXPECT_EQ(socketPathProblem("/" + std::string(106, 'a')), "");
    const std::string tooLong = "/" + std::string(107, 'a');
    EXPECT_EQ(socketPathProblem(tooLong),
              "the socket path " + tooLong + " is 108 bytes long; a Unix socket's path may have 107 at most");
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

TEST(RuntimeFolder, theCacheIsTheSetAbsoluteFolderElseTheHomes) {
    const Variable home("HOME", "/home/op");
    const struct {
        const char* set;
        const char* cache;
    } cases[] = {{"/srv/cache", "/srv/cache"}, {"relative/cache", "/home/op/.cache"}, {"", "/home/op/.cache"}};
    for (const auto& c : cases) {
        const Variable cache("XDG_CACHE_HOME", c.set);
        EXPECT_EQ(cacheFolder(), c.cache) << c.set;
    }
}

// A set variable is kept when it names a folder of the user's own; one that names anything else
// (someone else's folder, where a planted lock would keep the station from starting) is replaced
// by the folder chosen as without it, and the user is told.
TEST(RuntimeFolder, aSetVariableIsKeptOnlyForAFolderOfTheUsersOwn) {
    const testing::TempFolder folder;
    const Variable cache("XDG_CACHE_HOME", folder.path("cache"));
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
