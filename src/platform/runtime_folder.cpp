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
// sockaddr_un holds 108 bytes, the final NUL among them.
constexpr std::size_t kLongestSocketPath = 107;

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

// Makes the folders above path that are missing, private, as the XDG rules want new ones.
std::string createParents(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string parent = path.substr(0, slash);
        if (::mkdir(parent.c_str(), kPrivate) != 0 && errno != EEXIST) {
            return "cannot be created, as " + parent + " cannot: " + systemError(errno);
        }
    }
    return {};
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

std::string socketPathProblem(const std::string& path) {
    if (path.size() <= kLongestSocketPath) {
        return {};
    }
    return "the socket path " + path + " is " + std::to_string(path.size()) + " bytes long; a Unix socket's path may " +
           "have " + std::to_string(kLongestSocketPath) + " at most";
}

std::string cacheFolder() {
    // Relative paths are to be ignored, as the XDG rules say.
    if (const char* set = std::getenv("XDG_CACHE_HOME"); set != nullptr && set[0] == '/') {
        return set;
    }
    const char* home = std::getenv("HOME");
    std::string folder = home != nullptr && home[0] == '/' ? home : std::string();
    if (folder.empty()) {
        std::vector<char> buffer(4096);
        struct passwd entry {};
        struct passwd* found = nullptr;
        if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
            found->pw_dir[0] != '/') {
            return {};
        }
        folder = found->pw_dir;
    }
    return folder + "/.cache";
}

RuntimeFolder chooseRuntimeFolder(const std::string& systemFolder, const std::string& cacheHome, uid_t uid) {
    // The session manager makes that folder; a missing one is not ours to make.
    struct stat info {};
    if (::lstat(systemFolder.c_str(), &info) == 0 && claimRuntimeFolder(systemFolder, uid).empty()) {
        return {systemFolder, {}};
    }
    if (cacheHome.empty()) {
        return {{},
                "there is no runtime folder: neither $XDG_RUNTIME_DIR, nor $XDG_CACHE_HOME, nor a home folder is "
                "known; set XDG_RUNTIME_DIR to a folder of this user's own with mode 0700"};
    }
    // One fixed place in the user's own home, so that the station, a second station and cnc-sim
    // all meet there, and no other user can have made it first.
    const std::string folder = cacheHome + "/quorlan/runtime";
    std::string why = createParents(folder);
    if (why.empty()) {
        const bool created = ::mkdir(folder.c_str(), kPrivate) == 0;
        why = !created && errno != EEXIST ? "cannot be created: " + systemError(errno)
                                          : checkFolder(folder, uid, created);
    }
    if (!why.empty()) {
        return {{},
                "the runtime folder " + folder + " " + why +
                    ". The station's lock and the control's socket need a folder of this user's own that no one "
                    "else may enter: make it one (chmod 700 " +
                    folder + ", or mkdir -m 700 " + folder + " in its place) or set XDG_RUNTIME_DIR to such a folder"};
    }
    return {folder, {}};
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
    RuntimeFolder chosen = chooseRuntimeFolder("/run/user/" + std::to_string(uid), cacheFolder(), uid);
    if (!chosen.path.empty()) {
        ::setenv("XDG_RUNTIME_DIR", chosen.path.c_str(), 1);
    }
    if (!refused.empty()) {
        chosen.problem = refused + (chosen.problem.empty() ? "this run uses " + chosen.path : chosen.problem);
    }
    return chosen;
}

} // namespace quorlan::platform
