#include "platform/ordinary_file.h"

#include "platform/file_lookup.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

NotAFile::NotAFile(mode_t mode) : StationError(errc::kPathFileAccess, "Not a file but " + fileKind(mode)) {}

FileDescriptor::~FileDescriptor() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = other.release();
    }
    return *this;
}

int FileDescriptor::release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool FileDescriptor::close() {
    return m_fd < 0 || ::close(release()) == 0;
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

FileInputBuffer::int_type FileInputBuffer::underflow() {
    ssize_t count = 0;
    do {
        count = ::read(m_fd, m_buffer.data(), m_buffer.size());
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        throw StationError(errc::kDeviceIo);
    }
    if (count == 0) {
        return traits_type::eof();
    }
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data() + count);
    return traits_type::to_int_type(m_buffer[0]);
}

} // namespace quorlan::platform
