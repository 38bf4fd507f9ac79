#include "scan/csv_export.h"

#include "config/common.h"
#include "platform/error.h"
#include "platform/text.h"
#include "scan/program_name.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace quorlan::scan {

namespace {

using platform::StationError;
namespace errc = platform::errc;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

int errorNumberFor(int systemError, int whenMissing) {
    switch (systemError) {
    case ENOENT:
        return whenMissing;
    case ENOTDIR:
        return errc::kPathNotFound;
    default:
        return errc::kPathFileAccess;
    }
}

std::string sourcePath(const std::string& programName, const std::string& csvInPath) {
    const std::string_view name(programName);
    const auto base = hasProgramExtension(name) ? name.substr(0, name.size() - kProgramExtension.size()) : name;
    return platform::trimBlanks(csvInPath + "\\" + std::string(base) + ".CSV");
}

std::string readWhole(const std::string& path) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        throw StationError(errorNumberFor(errno, errc::kFileNotFound));
    }
    std::string text;
    char buffer[4096];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        text.append(buffer, count);
    }
    if (std::ferror(file.get()) != 0) {
        throw StationError(errc::kPathFileAccess);
    }
    return text;
}

// One line break at the very end; the block gets its own below.
void dropFinalLineBreak(std::string& text) {
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    if (!text.empty() && text.back() == '\r') {
        text.pop_back();
    }
}

// Succeeds only when every byte reached the file and the close (which flushes) went through.
void appendBlock(const std::string& path, const std::string& block) {
    File file(std::fopen(path.c_str(), "ab"));
    if (!file) {
        throw StationError(errorNumberFor(errno, errc::kPathNotFound));
    }
    const bool written = std::fwrite(block.data(), 1, block.size(), file.get()) == block.size();
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        throw StationError(errc::kPathFileAccess);
    }
}

void removeFile(const std::string& path) {
    if (std::remove(path.c_str()) != 0) {
        throw StationError(errorNumberFor(errno, errc::kFileNotFound));
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

} // namespace

void WriteCsvRecord(const std::string& programName, const config::StationSettings& settings,
                    const std::string& commandLineUpper, const platform::PathMapper& paths,
                    platform::StationView& view) {
    const std::string source = sourcePath(programName, settings.CSVInPath);
    if (!config::FileExists(source, paths, view)) {
        return;
    }
    const std::string localSource = paths.toLocal(source);
    std::string text;
    onFile(source, [&] { text = readWhole(localSource); });
    dropFinalLineBreak(text);
    text += "\r\n";
    onFile(settings.CSVOutPath, [&] { appendBlock(paths.toLocal(settings.CSVOutPath), text); });
    if (!keepsCsvFiles(commandLineUpper)) {
        onFile(source, [&] { removeFile(localSource); });
    }
}

} // namespace quorlan::scan
