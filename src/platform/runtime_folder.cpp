#include "platform/runtime_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quorlan::platform {

namespace {

constexpr mode_t kPrivate = 0700;

std::string systemError(int number) {
    return std::strerror(number);
}

std::string modeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// The checks on the folder that is open as fd, so that nothing can swap it between them. A folder of
// uid's own that others may enter is narrowed when narrow is set, else refused.
std::string checkOpenFolder(int fd, uid_t uid, bool narrow) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return "cannot be examined: " + systemError(errno);
    }
    if (info.st_uid != uid) {
        return "belongs to user number " + std::to_string(info.st_uid) + ", not to this user (" + std::to_string(uid) +
               ")";
    }
    if (!narrow && (info.st_mode & 077) != 0) {
        return "has mode " + modeText(info.st_mode) + ": other users may enter it";
    }
    if (narrow && (info.st_mode & 07777) != kPrivate && ::fchmod(fd, kPrivate) != 0) {
        return "has mode " + modeText(info.st_mode) + " and cannot be made private: " + systemError(errno);
    }
    return {};
}

// The folder opened without following a link, and checked.
std::string checkFolder(const std::string& folder, uid_t uid, bool narrow) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat info {};
        if (::lstat(folder.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
            return "is a symbolic link";
        }
        return error == ENOTDIR ? "is no folder" : "cannot be opened: " + systemError(error);
    }
    std::string why = checkOpenFolder(fd, uid, narrow);
    ::close(fd);
    return why;
}

} // namespace

std::string userNameOf(uid_t uid) {
    std::vector<char> buffer(4096);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name[0] != '\0') {
        return found->pw_name;
    }
    return std::to_string(uid);
}

namespace {

// $TMPDIR, else /tmp, without a trailing slash, as Qt takes it.
std::string temporaryFolder() {
    const char* set = std::getenv("TMPDIR");
    std::string folder = set != nullptr && *set != '\0' ? set : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

} // namespace

std::string claimRuntimeFolder(const std::string& folder, uid_t uid) {
    // Created here, it is ours; the mode is set again because the umask may have taken bits.
    const bool created = ::mkdir(folder.c_str(), kPrivate) == 0;
    if (!created && errno != EEXIST) {
        return "cannot be created: " + systemError(errno);
    }
    return checkFolder(folder, uid, true);
}

std::string privateFolderProblem(const std::string& folder, uid_t uid) {
    return checkFolder(folder, uid, false);
}

std::string localSocketPath(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return name;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return std::string(runtime != nullptr && *runtime != '\0' ? runtime : ".") + "/" + name;
}

RuntimeFolder chooseRuntimeFolder(const std::string& systemFolder, const std::string& temporaryFolder,
                                  const std::string& userName, uid_t uid) {
    // The session manager makes that folder; a missing one is not ours to make.
    struct stat info {};
    if (::lstat(systemFolder.c_str(), &info) == 0 && claimRuntimeFolder(systemFolder, uid).empty()) {
        return {systemFolder, {}};
    }
    const std::string usual = temporaryFolder + "/runtime-" + userName;
    const std::string why = claimRuntimeFolder(usual, uid);
    if (why.empty()) {
        return {usual, {}};
    }
    // Someone else's folder under the usual name must not hold our locks; a folder of our own
    // does, at the price that programs started elsewhere do not look there.
    std::string own = usual + "-XXXXXX";
    if (::mkdtemp(own.data()) == nullptr) {
        return {{}, "the runtime folder " + usual + " " + why + ", and no other could be made: " + systemError(errno)};
    }
    return {own, "the runtime folder " + usual + " " + why + "; this run uses " + own +
                     ", where other programs of this user do not look"};
}

RuntimeFolder settleRuntimeFolder() {
    const uid_t uid = ::geteuid();
    // A folder that is not the user's own (an environment passed on by su or sudo, a variable set
    // by hand) could hold a lock that someone else planted there: it is not used.
    std::string refused;
    if (const char* set = std::getenv("XDG_RUNTIME_DIR"); set != nullptr && *set != '\0') {
        const std::string why = claimRuntimeFolder(set, uid);
        if (why.empty()) {
            return {set, {}};
        }
        refused = "$XDG_RUNTIME_DIR " + std::string(set) + " " + why + "; ";
    }
    RuntimeFolder chosen =
        chooseRuntimeFolder("/run/user/" + std::to_string(uid), temporaryFolder(), userNameOf(uid), uid);
    if (!chosen.path.empty()) {
        ::setenv("XDG_RUNTIME_DIR", chosen.path.c_str(), 1);
    }
    if (!refused.empty()) {
        chosen.problem = refused + (chosen.problem.empty() ? "this run uses " + chosen.path : chosen.problem);
    }
    return chosen;
}

} // namespace quorlan::platform
