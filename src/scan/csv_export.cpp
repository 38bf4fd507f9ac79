#include "scan/csv_export.h"

#include "config/common.h"
#include "platform/error.h"
#include "platform/file_lookup.h"
#include "platform/file_write.h"
#include "platform/ordinary_file.h"
#include "platform/text.h"
#include "scan/program_name.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quorlan::scan {

namespace {

using platform::FileDescriptor;
using platform::StationError;
namespace errc = platform::errc;

// While a record is moved, its file waits beside the source under a hidden name that holds the
// collecting file's length before the append: ".FLANGE.CSV.~4096". Whatever stops the station
// (a kill, a crash, a power cut), the next move of that program finds it and either recognises
// the record at that place in the collecting file or appends it, so that it is collected once.
constexpr std::size_t kRoomForLength = 20;

struct LocalFile {
    std::string folder; // with its trailing "/"
    std::string name;
};

LocalFile split(const std::string& localPath) {
    const auto slash = localPath.rfind('/');
    if (slash == std::string::npos) {
        return {"./", localPath};
    }
    return {localPath.substr(0, slash + 1), localPath.substr(slash + 1)};
}

std::string sourcePath(const std::string& programName, const std::string& csvInPath) {
    const std::string_view name(programName);
    const auto base = hasProgramExtension(name) ? name.substr(0, name.size() - kProgramExtension.size()) : name;
    return platform::trimBlanks(csvInPath + "\\" + std::string(base) + ".CSV");
}

// A name too long to take the mark and a length keeps its beginning and a hash of the whole.
std::string claimPrefix(const std::string& sourceName) {
    const std::string prefix = "." + sourceName + ".~";
    if (prefix.size() + kRoomForLength <= NAME_MAX) {
        return prefix;
    }
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : platform::toUpper(sourceName)) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return "." + sourceName.substr(0, NAME_MAX - kRoomForLength - 20) + "~" + hex + ".~";
}

struct Claim {
    std::string path;
    off_t start; // the collecting file's length before the append
};

// The records of this source that a move left behind, in the order of their places.
std::vector<Claim> claimsOf(const LocalFile& source) {
    std::vector<Claim> claims;
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(source.folder.c_str()), ::closedir);
    if (!listing) {
        return claims;
    }
    const std::string prefix = claimPrefix(source.name);
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string_view name(entry->d_name);
        if (name.size() <= prefix.size() || !platform::matchesPattern(name.substr(0, prefix.size()), prefix)) {
            continue;
        }
        const auto digits = name.substr(prefix.size());
        off_t start = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), start);
        if (error == std::errc() && end == digits.data() + digits.size() && start >= 0) {
            claims.push_back({source.folder + std::string(name), start});
        }
    }
    std::sort(claims.begin(), claims.end(), [](const Claim& a, const Claim& b) { return a.start < b.start; });
    return claims;
}

[[noreturn]] void failWith(int systemError) {
    throw StationError(platform::lookupErrorNumber(systemError));
}

std::string readWhole(const std::string& localPath) {
    const FileDescriptor file = platform::openOrdinaryFile(localPath, O_RDONLY);
    std::string text;
    char buffer[4096];
    ssize_t count = 0;
    while ((count = ::read(file.get(), buffer, sizeof buffer)) != 0) {
        if (count < 0 && errno != EINTR) {
            failWith(errno);
        }
        text.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
    }
    return text;
}

// One line break at the very end; the block gets its own below.
std::string blockOf(std::string text) {
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    if (!text.empty() && text.back() == '\r') {
        text.pop_back();
    }
    return text + "\r\n";
}

FileDescriptor openCollecting(const std::string& localPath, int access) {
    return platform::openOrdinaryFile(localPath, access | O_APPEND | O_CREAT);
}

off_t lengthOf(const FileDescriptor& file) {
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        failWith(errno);
    }
    return status.st_size;
}

// Appends the block and has it on the disk before returning. A failed append (a full disk)
// takes back whatever part of the block got in, so that the collecting file is as it was and the
// record can be collected whole later, on a line of its own.
void appendBlock(const FileDescriptor& file, off_t start, const std::string& block) {
    if (platform::writeAll(file.get(), block) && ::fsync(file.get()) == 0) {
        return;
    }
    const int error = errno;
    if (::ftruncate(file.get(), start) != 0) {
        // Nothing more can be done here; the error below says that the append failed.
    }
    failWith(error);
}

// Whether the collecting file ends in a part of the block (or nothing of it) from start on: the
// move was interrupted before its append was complete.
bool appendIncomplete(const FileDescriptor& file, off_t start, const std::string& block) {
    const off_t length = lengthOf(file);
    if (length < start || length - start >= static_cast<off_t>(block.size())) {
        return false;
    }
    std::string found(static_cast<std::size_t>(length - start), '\0');
    return ::pread(file.get(), found.data(), found.size(), start) == static_cast<ssize_t>(found.size()) &&
           block.compare(0, found.size(), found) == 0;
}

void removeFile(const std::string& localPath) {
    if (::unlink(localPath.c_str()) != 0) {
        failWith(errno);
    }
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The file goes with its error: the operator has to know which folder to mend.
template <typename Step> void onFile(const std::string& windowsPath, Step&& step) {
    try {
        step();
    } catch (const StationError& error) {
        throw StationError(error.number(), error.description() + ": " + windowsPath);
    }
}

bool keepsCsvFiles(const std::string& commandLineUpper) {
    return platform::contains(commandLineUpper, "CSV") || platform::contains(commandLineUpper, "KEEP");
}

// A move that was interrupted is finished: the record is appended unless the collecting file
// holds it, or more, from where the move began. A collecting file that was changed since (emptied
// or taken away by whoever reads it) is taken to have been collected: a move is interrupted between
// its append and its delete far more often than in the instant before its append.
void finishMove(const Claim& claim, const std::string& source, const std::string& collecting,
                const config::StationSettings& settings) {
    std::string block;
    onFile(source, [&] { block = blockOf(readWhole(claim.path)); });
    onFile(settings.CSVOutPath, [&] {
        const FileDescriptor out = openCollecting(collecting, O_RDWR);
        if (appendIncomplete(out, claim.start, block)) {
            if (::ftruncate(out.get(), claim.start) != 0) {
                failWith(errno);
            }
            appendBlock(out, claim.start, block);
        }
    });
    onFile(source, [&] { removeFile(claim.path); });
}

// The source is set aside under its claim before the append, so that from then on the record is
// either in its source or recognised by its claim, and never collected twice.
void moveRecord(const LocalFile& source, const std::string& windowsSource, const std::string& collecting,
                const config::StationSettings& settings) {
    const std::string sourcePath = source.folder + source.name;
    std::string block;
    onFile(windowsSource, [&] { block = blockOf(readWhole(sourcePath)); });
    FileDescriptor out;
    off_t start = 0;
    onFile(settings.CSVOutPath, [&] {
        out = openCollecting(collecting, O_WRONLY);
        start = lengthOf(out);
    });
    const std::string claim = source.folder + claimPrefix(source.name) + std::to_string(start);
    onFile(windowsSource, [&] {
        if (::rename(sourcePath.c_str(), claim.c_str()) != 0) {
            failWith(errno);
        }
    });
    syncFolder(source.folder);
    try {
        onFile(settings.CSVOutPath, [&] { appendBlock(out, start, block); });
    } catch (const StationError&) {
        ::rename(claim.c_str(), sourcePath.c_str()); // the record waits in its source for the next scan
        throw;
    }
    onFile(windowsSource, [&] { removeFile(claim); });
}

} // namespace

void WriteCsvRecord(const std::string& programName, const config::StationSettings& settings,
                    const std::string& commandLineUpper, const platform::PathMapper& paths,
                    platform::StationView& view) {
    const std::string source = sourcePath(programName, settings.CSVInPath);
    const std::string collecting = paths.toLocal(settings.CSVOutPath);
    for (const Claim& claim : claimsOf(split(paths.toLocal(source)))) {
        finishMove(claim, source, collecting, settings);
    }
    if (!config::FileExists(source, paths, view)) {
        return;
    }
    const std::string localSource = paths.toLocal(source);
    if (keepsCsvFiles(commandLineUpper)) {
        std::string block;
        onFile(source, [&] { block = blockOf(readWhole(localSource)); });
        onFile(settings.CSVOutPath, [&] {
            const FileDescriptor out = openCollecting(collecting, O_WRONLY);
            appendBlock(out, lengthOf(out), block);
        });
        return;
    }
    moveRecord(split(localSource), source, collecting, settings);
}

} // namespace quorlan::scan
