#include "platform/private_file.h"

#include "platform/error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlan::platform {

namespace {

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;

std::string octal(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

int errorNumberOf(int systemError) {
    switch (systemError) {
    case ENOENT:
        return errc::kFileNotFound;
    case EACCES:
    case EPERM:
        return errc::kPermissionDenied;
    case EEXIST:
    case ELOOP:
        return errc::kFileAlreadyExists;
    default:
        return errc::kPathFileAccess;
    }
}

[[noreturn]] void failWith(int systemError, const std::string& path, const std::string& doing) {
    throw StationError(errorNumberOf(systemError), path + " cannot be " + doing + ": " + std::strerror(systemError));
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Why the open file may not hold a secret of this user's, or an empty string.
std::string unfitness(const struct stat& info, const std::string& path) {
    if (!S_ISREG(info.st_mode)) {
        return path + " is not a regular file";
    }
    if (info.st_uid != ::geteuid()) {
        return path + " belongs to user number " + std::to_string(info.st_uid) + ", not to this user (" +
               std::to_string(::geteuid()) + "); a secret must be its user's own file";
    }
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        return path + " is open to other users (mode " + octal(info.st_mode) + "); allow its owner alone: chmod 600 " +
               path;
    }
    return {};
}

} // namespace

std::string readPrivateFile(const std::string& path, std::size_t maxBytes) {
    // Not blocking: a FIFO in the file's place is refused below instead of waiting for a writer.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0) {
        failWith(errno, path, "opened");
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        failWith(errno, path, "examined");
    }
    if (const std::string problem = unfitness(info, path); !problem.empty()) {
        throw StationError(errc::kPermissionDenied, problem);
    }
    std::string contents;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            failWith(errno, path, "read");
        }
        if (count == 0) {
            return contents;
        }
        contents.append(buffer, static_cast<std::size_t>(count));
        if (contents.size() > maxBytes) {
            throw StationError(errc::kPathFileAccess,
                               path + " is longer than " + std::to_string(maxBytes) + " bytes, which no such file is");
        }
    }
}

void createPrivateFile(const std::string& path, std::string_view contents) {
    const Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kOwnerOnly));
    if (file.get() < 0) {
        failWith(errno, path, "created");
    }
    const int written = [&] {
        // The umask may have narrowed the mode further, so far that the owner could not read it.
        if (::fchmod(file.get(), kOwnerOnly) != 0) {
            return errno;
        }
        std::string_view rest = contents;
        while (!rest.empty()) {
            const ssize_t count = ::write(file.get(), rest.data(), rest.size());
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0) {
                return errno;
            }
            rest.remove_prefix(static_cast<std::size_t>(count));
        }
        return ::fsync(file.get()) == 0 ? 0 : errno;
    }();
    if (written != 0) {
        ::unlink(path.c_str());
        failWith(written, path, "written");
    }
}

} // namespace quorlan::platform
