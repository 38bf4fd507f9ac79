#include "platform/file_lookup.h"

#include "platform/error.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace quorlan::platform {

namespace {

bool sameLetter(char a, char b) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(a) == lower(b);
}

bool globMatch(std::string_view name, std::string_view pattern) {
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || sameLetter(pattern[p], name[n]))) {
            ++n;
            ++p;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

bool isVisibleOrdinaryFile(int folder, const char* name) {
    struct stat status {};
    return name[0] != '.' && ::fstatat(folder, name, &status, 0) == 0 && S_ISREG(status.st_mode);
}

} // namespace

int lookupErrorNumber(int systemError) {
    switch (systemError) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG: // a scanned name too long for a path cannot name an existing file
    case ELOOP:
        return errc::kPathNotFound;
    case EIO:
        return errc::kDeviceIo;
    case ENOMEDIUM:
        return errc::kDiskNotReady;
    case ENXIO:
    case ENODEV:
        return errc::kDeviceUnavailable;
    case EACCES:
    case EPERM:
        return errc::kPermissionDenied;
    case ENOSPC:
    case EDQUOT:
        return errc::kDiskFull;
    default:
        return errc::kPathFileAccess;
    }
}

bool matchesPattern(std::string_view name, std::string_view pattern) {
    if (globMatch(name, pattern)) {
        return true;
    }
    return pattern.ends_with(".*") && name.find('.') == std::string_view::npos &&
           globMatch(name, pattern.substr(0, pattern.size() - 2));
}

bool findFile(std::string_view windowsPath, const PathMapper& paths) {
    auto split = windowsPath.find_last_of("\\/");
    if (split == std::string_view::npos && windowsPath.size() >= 2 && windowsPath[1] == ':') {
        split = 1; // "C:NAME"
    }
    const auto folder = split == std::string_view::npos ? std::string_view() : windowsPath.substr(0, split + 1);
    const auto pattern = windowsPath.substr(folder.size());
    if (pattern.empty()) {
        return false;
    }
    const std::string local = folder.empty() ? "." : paths.toLocal(folder);
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(local.c_str()), ::closedir);
    if (!listing) {
        throw StationError(lookupErrorNumber(errno));
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(listing.get());
        if (entry == nullptr) {
            if (errno != 0) {
                throw StationError(lookupErrorNumber(errno));
            }
            return false;
        }
        if (matchesPattern(entry->d_name, pattern) && isVisibleOrdinaryFile(::dirfd(listing.get()), entry->d_name)) {
            return true;
        }
    }
}

} // namespace quorlan::platform
