#include "cnc/program_store.h"

#include "platform/error.h"
#include "platform/file_lookup.h"
#include "platform/file_write.h"
#include "platform/ordinary_file.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlan::cnc {

namespace {

using platform::ReplaceFailure;
using platform::StationError;

[[noreturn]] void fail(int systemError, const std::string& what) {
    throw StationError(platform::lookupErrorNumber(systemError), what + ": " + std::strerror(systemError));
}

std::string linkTarget(const std::string& localPath) {
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(localPath.c_str(), target.data(), target.size());
    target.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return target;
}

// A link in the program folder may lead anywhere, and replacing it would undo what whoever made
// it meant: the operator is told, and nothing is written.
void refuseAnythingButAFile(const std::string& localPath) {
    struct stat status {};
    if (::lstat(localPath.c_str(), &status) != 0 || S_ISREG(status.st_mode)) {
        return;
    }
    if (S_ISLNK(status.st_mode)) {
        throw StationError(platform::errc::kPathFileAccess,
                           "the program file is a symbolic link (to " + linkTarget(localPath) +
                               "), which the station neither writes through nor replaces");
    }
    throw StationError(platform::errc::kPathFileAccess,
                       "the program's name is taken by " + platform::fileKind(status.st_mode) + ", not a file");
}

} // namespace

bool holdsProgram(const std::string& localPath) {
    struct stat status {};
    return ::stat(localPath.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0;
}

void SaveProgramFile(const std::string& localPath, const std::string& programText) {
    refuseAnythingButAFile(localPath);
    const auto failure = platform::replaceFile(localPath, programText + "\r\n", platform::InPlace::Never);
    if (!failure) {
        return;
    }
    switch (failure->step) {
    case ReplaceFailure::Step::Folder:
        fail(failure->systemError, "the program cannot be written in its folder");
    case ReplaceFailure::Step::ReadOnly:
        throw StationError(platform::errc::kPermissionDenied, "the program file is read-only");
    case ReplaceFailure::Step::NotAFile:
        refuseAnythingButAFile(localPath);
        break;
    case ReplaceFailure::Step::Write:
        break;
    }
    fail(failure->systemError, "the program could not be saved");
}

} // namespace quorlan::cnc
