// Opening an ordinary file the POSIX way: a look at what the name is before opening (a device is
// then not even opened), an open that never blocks, and a look at what was opened.
#include "platform/file_lookup.h"
#include "platform/ordinary_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace quorlan::platform {

namespace {

[[noreturn]] void failOpening(int systemError, int flags) {
    int number = lookupErrorNumber(systemError);
    if (systemError == ENOENT && (flags & O_CREAT) == 0) {
        number = errc::kFileNotFound;
    }
    throw StationError(number);
}

} // namespace

std::string fileKind(mode_t mode) {
    switch (mode & S_IFMT) {
    case S_IFREG:
        return "a file";
    case S_IFDIR:
        return "a folder";
    case S_IFIFO:
        return "a FIFO";
    case S_IFSOCK:
        return "a socket";
    case S_IFLNK:
        return "a symbolic link";
    default:
        return "a device";
    }
}

FileDescriptor openOrdinaryFile(const std::string& localPath, int flags) {
    // Looked at before opening, so that a device is not even opened; looked at again after, as the
    // name may have changed hands in between.
    const auto look = (flags & O_NOFOLLOW) != 0 ? ::lstat : ::stat;
    struct stat status {};
    if (look(localPath.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        throw NotAFile(status.st_mode);
    }
    FileDescriptor file(::open(localPath.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
    if (file.get() < 0) {
        const int error = errno;
        if (look(localPath.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
            throw NotAFile(status.st_mode);
        }
        failOpening(error, flags);
    }
    if (::fstat(file.get(), &status) != 0) {
        failOpening(errno, flags);
    }
    if (!S_ISREG(status.st_mode)) {
        throw NotAFile(status.st_mode);
    }
    return file;
}

} // namespace quorlan::platform
