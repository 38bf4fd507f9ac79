#include "platform/file_write.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlan::platform {

namespace {

constexpr int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
constexpr mode_t kNewFileMode = 0666; // less the umask, as for any new file

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Twelve hex digits from the kernel's random source: a name nobody can plant anything at in
// advance, and short enough beside any file name.
std::string unpredictableName() {
    std::array<unsigned char, 6> bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t count = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (count > 0) {
            filled += static_cast<std::size_t>(count);
        }
    }
    std::string name = ".~quorlan-";
    for (const unsigned char byte : bytes) {
        std::array<char, 3> hex{};
        std::snprintf(hex.data(), hex.size(), "%02x", byte);
        name += hex.data();
    }
    return name;
}

int createTemporary(const std::string& folder, std::string& temporaryPath) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        temporaryPath = folder + unpredictableName();
        const int fd = ::open(temporaryPath.c_str(), kCreateFlags, kNewFileMode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// A file without any write permission is read-only for whoever runs the station, as the
// read-only attribute is on the workstation; one this user may not write is not this user's.
bool mayChange(const std::string& path, const struct stat& status) {
    return (status.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

// The new file takes the old one's mode, owner and group. False when the owner cannot be given
// (only root may give a file away); the group is then kept where this user belongs to it.
bool takeOver(int fd, const struct stat& old) {
    if (::fchmod(fd, old.st_mode & 07777) != 0) {
        return false;
    }
    if (::fchown(fd, old.st_uid, old.st_gid) == 0) {
        return true;
    }
    ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    // A change of group may have dropped the set-id bits.
    ::fchmod(fd, old.st_mode & 07777);
    return false;
}

std::optional<ReplaceFailure> failure(ReplaceFailure::Step step, int systemError) {
    return ReplaceFailure{step, systemError};
}

std::optional<ReplaceFailure> rewriteInPlace(const std::string& path, std::string_view content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return failure(ReplaceFailure::Step::Write, errno);
    }
    struct stat status {};
    if (::fstat(fd, &status) == 0 && !S_ISREG(status.st_mode)) {
        ::close(fd);
        return failure(ReplaceFailure::Step::NotAFile, EINVAL);
    }
    bool ok = writeAll(fd, content) && ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    return ok ? std::nullopt : failure(ReplaceFailure::Step::Write, error);
}

} // namespace

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            if (count == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

int createFresh(const std::string& localPath) {
    if (::unlink(localPath.c_str()) != 0 && errno != ENOENT) {
        return -1;
    }
    return ::open(localPath.c_str(), kCreateFlags, kNewFileMode);
}

std::optional<ReplaceFailure> replaceFile(const std::string& localPath, std::string_view content, InPlace fallback) {
    struct stat old {};
    const bool replacing = ::lstat(localPath.c_str(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode)) {
        return failure(ReplaceFailure::Step::NotAFile, S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    }
    if (replacing && !mayChange(localPath, old)) {
        return failure(ReplaceFailure::Step::ReadOnly, EACCES);
    }
    const bool inPlaceAllowed = replacing && fallback == InPlace::WhenNoTemporary;
    std::string temporaryPath;
    const int fd = createTemporary(folderOf(localPath), temporaryPath);
    if (fd < 0) {
        return inPlaceAllowed ? rewriteInPlace(localPath, content) : failure(ReplaceFailure::Step::Folder, errno);
    }
    if (replacing && !takeOver(fd, old) && inPlaceAllowed) {
        ::close(fd);
        ::unlink(temporaryPath.c_str());
        return rewriteInPlace(localPath, content);
    }
    bool written = writeAll(fd, content) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && ::rename(temporaryPath.c_str(), localPath.c_str()) == 0) {
        return std::nullopt;
    }
    const bool renameFailed = written;
    error = renameFailed ? errno : error;
    ::unlink(temporaryPath.c_str());
    if (renameFailed && inPlaceAllowed) {
        return rewriteInPlace(localPath, content); // a file that may be written but not replaced
    }
    return failure(ReplaceFailure::Step::Write, error);
}

} // namespace quorlan::platform
