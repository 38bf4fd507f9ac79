#include "cnc/program_store.h"

#include "platform/error.h"
#include "platform/file_lookup.h"
#include "platform/file_write.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlan::cnc {

namespace {

using platform::StationError;
using platform::writeAll;

[[noreturn]] void fail(int systemError, const std::string& what) {
    throw StationError(platform::lookupErrorNumber(systemError), what + ": " + std::strerror(systemError));
}

// Hidden beside the program, so that it is on the same file system and never read as a program.
std::string temporaryPathFor(const std::string& localPath) {
    const auto slash = localPath.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return localPath.substr(0, nameStart) + ".~" + localPath.substr(nameStart) + "." + std::to_string(::getpid());
}

} // namespace

bool holdsProgram(const std::string& localPath) {
    struct stat status {};
    return ::stat(localPath.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0;
}

void SaveProgramFile(const std::string& localPath, const std::string& programText) {
    struct stat old {};
    const bool replacing = ::stat(localPath.c_str(), &old) == 0;
    const std::string temporary = temporaryPathFor(localPath);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        fail(errno, "the program cannot be written in its folder");
    }
    bool ok = (!replacing || ::fchmod(fd, old.st_mode & 07777) == 0) && writeAll(fd, programText) &&
              writeAll(fd, "\r\n") && ::fsync(fd) == 0;
    const int writeError = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temporary.c_str(), localPath.c_str()) != 0) {
        const int error = ok ? errno : writeError;
        ::unlink(temporary.c_str());
        fail(error, "the program could not be saved");
    }
}

} // namespace quorlan::cnc
