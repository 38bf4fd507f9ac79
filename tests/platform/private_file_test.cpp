#include "fakes/error_of.h"
#include "fakes/temp_folder.h"
#include "platform/error.h"
#include "platform/private_file.h"

#include <cstdio>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlan::platform {
namespace {

using testing::errorOf;
using ::testing::HasSubstr;

mode_t modeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

std::string octal(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode));
    return text;
}

std::string descriptionOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const StationError& error) {
        return error.description();
    }
    return {};
}

class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : m_old(::umask(mask)) {}
    ~UmaskScope() { ::umask(m_old); }

private:
    mode_t m_old;
};

TEST(PrivateFile, IsCreatedForItsOwnerAloneWhateverTheUmask) {
    for (const mode_t mask : {0000, 0022, 0077, 0277}) {
        testing::TempFolder folder;
        const std::string path = folder.path("secret");
        {
            UmaskScope scope(mask);
            createPrivateFile(path, "abc\n");
        }
        EXPECT_EQ(modeOf(path), 0600u) << "umask " << mask;
        EXPECT_EQ(readPrivateFile(path, 100), "abc\n");
    }
}

TEST(PrivateFile, NeverReplacesWhatIsThere) {
    testing::TempFolder folder;
    const std::string existing = folder.write("existing", "old key\n");
    const std::string target = folder.write("target", "someone else's file\n");
    const std::string link = folder.path("link");
    std::filesystem::create_symlink(target, link);
    const std::string dangling = folder.path("dangling");
    std::filesystem::create_symlink(folder.path("nowhere"), dangling);

    EXPECT_EQ(errorOf([&] { createPrivateFile(existing, "new\n"); }), errc::kFileAlreadyExists);
    EXPECT_EQ(errorOf([&] { createPrivateFile(link, "new\n"); }), errc::kFileAlreadyExists);
    EXPECT_EQ(errorOf([&] { createPrivateFile(dangling, "new\n"); }), errc::kFileAlreadyExists);
    EXPECT_EQ(folder.read("existing"), "old key\n");
    EXPECT_EQ(folder.read("target"), "someone else's file\n");
    EXPECT_FALSE(std::filesystem::exists(folder.path("nowhere")));
    EXPECT_EQ(errorOf([&] { createPrivateFile(folder.path("no/such/folder/key"), "new\n"); }), errc::kFileNotFound);
}

TEST(PrivateFile, IsReadOnlyWhileNoOneElseMayTouchIt) {
    struct Case {
        mode_t mode;
        bool accepted;
    };
    for (const Case& c : {Case{0600, true}, Case{0400, true}, Case{0700, true}, Case{0640, false}, Case{0620, false},
                          Case{0610, false}, Case{0604, false}, Case{0602, false}, Case{0666, false}}) {
        testing::TempFolder folder;
        const std::string path = folder.write("secret", "abc");
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        if (c.accepted) {
            EXPECT_EQ(readPrivateFile(path, 100), "abc") << std::oct << c.mode;
        } else {
            const std::string description = descriptionOf([&] { readPrivateFile(path, 100); });
            EXPECT_THAT(description, HasSubstr("is open to other users (mode " + octal(c.mode) + ")"));
            EXPECT_THAT(description, HasSubstr("chmod 600 " + path));
            EXPECT_EQ(errorOf([&] { readPrivateFile(path, 100); }), errc::kPermissionDenied);
        }
    }
}

TEST(PrivateFile, RefusesWhatIsNoSecretOfThisUser) {
    testing::TempFolder folder;
    const std::string fifo = folder.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THAT(descriptionOf([&] { readPrivateFile(fifo, 100); }), HasSubstr("is not a regular file"));
    EXPECT_THAT(descriptionOf([&] { readPrivateFile(folder.makeFolder("sub"), 100); }),
                HasSubstr("is not a regular file"));
    EXPECT_EQ(errorOf([&] { readPrivateFile(folder.path("missing"), 100); }), errc::kFileNotFound);

    const std::string large = folder.write("large", std::string(101, 'a'));
    ASSERT_EQ(::chmod(large.c_str(), 0600), 0);
    EXPECT_EQ(errorOf([&] { readPrivateFile(large, 100); }), errc::kPathFileAccess);

    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving a file to another user needs root";
    }
    const std::string foreign = folder.write("foreign", "abc");
    ASSERT_EQ(::chmod(foreign.c_str(), 0600), 0);
    ASSERT_EQ(::chown(foreign.c_str(), 12345, 12345), 0);
    EXPECT_THAT(descriptionOf([&] { readPrivateFile(foreign, 100); }),
                HasSubstr("belongs to user number 12345, not to this user (0)"));
}

} // namespace
} // namespace quorlan::platform
