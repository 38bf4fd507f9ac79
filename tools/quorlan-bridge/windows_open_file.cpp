// On Windows a name in a folder is a file or a folder: no FIFOs, device files or sockets live
// among the files, so what is there is checked for a folder only.
#include "platform/ordinary_file.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

namespace quorlan::platform {

std::string fileKind(mode_t mode) {
    switch (mode & _S_IFMT) {
    case _S_IFREG:
        return "a file";
    case _S_IFDIR:
        return "a folder";
    default:
        return "a device";
    }
}

FileDescriptor openOrdinaryFile(const std::string& localPath, int flags) {
    struct _stat64 status {};
    if (::_stat64(localPath.c_str(), &status) == 0 && (status.st_mode & _S_IFMT) != _S_IFREG) {
        throw NotAFile(static_cast<mode_t>(status.st_mode));
    }
    FileDescriptor file(::_open(localPath.c_str(), flags | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE));
    if (file.get() < 0) {
        if (errno == ENOENT) {
            throw StationError((flags & _O_CREAT) != 0 ? errc::kPathNotFound : errc::kFileNotFound);
        }
        throw StationError(errno == EACCES ? errc::kPermissionDenied : errc::kPathFileAccess);
    }
    return file;
}

} // namespace quorlan::platform
