#include "history/failure.h"

#include "history/schema.h"
#include "history/sqlite.h"

#include <cstring>
#include <filesystem>
#include <sqlite3.h>
#include <unistd.h>

namespace quorlan::history {

namespace {

std::string describeCannotOpen(const std::string& path, int systemError) {
    std::error_code ignored;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder, ignored)) {
        return "the folder " + folder.string() + " does not exist";
    }
    if (std::filesystem::is_directory(path, ignored)) {
        return path + " is a folder, not a file";
    }
    // The file may be there and readable, with no log beside it that could be made.
    if (std::filesystem::exists(path, ignored) && ::access(path.c_str(), W_OK) != 0) {
        return path + " is read-only";
    }
    if (::access(folder.empty() ? "." : folder.c_str(), W_OK) != 0) {
        return "the folder " + folder.string() + " is read-only";
    }
    return path + " cannot be opened" + (systemError != 0 ? std::string(": ") + std::strerror(systemError) : "");
}

std::string describeSqlError(const std::string& path, const sql::Error& error) {
    switch (error.primaryCode()) {
    case SQLITE_CANTOPEN:
        return describeCannotOpen(path, error.systemError());
    case SQLITE_READONLY:
        return path + " is read-only";
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return path + " may not be written";
    case SQLITE_FULL:
        return "the disk holding " + path + " is full";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return path + " is locked by another program";
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return path + " is damaged or not a history file; move it away and a new one is started";
    case SQLITE_IOERR:
        if (error.systemError() == ENOSPC) {
            return "the disk holding " + path + " is full";
        }
        if (error.systemError() == EROFS || error.systemError() == EACCES || error.systemError() == EPERM) {
            return path + " is read-only";
        }
        return path + " cannot be written" +
               (error.systemError() != 0 ? std::string(": ") + std::strerror(error.systemError()) : "");
    default:
        return path + ": " + error.what();
    }
}

} // namespace

std::string describeFailure(const std::string& path, const std::exception& error) {
    if (const auto* sqlError = dynamic_cast<const sql::Error*>(&error)) {
        return describeSqlError(path, *sqlError);
    }
    if (const auto* schemaError = dynamic_cast<const SchemaError*>(&error)) {
        if (schemaError->kind() == SchemaError::Kind::Newer) {
            return path + " was written by a newer version of Quorlan";
        }
        return path + " is a database of another program";
    }
    return path + ": " + error.what();
}

std::string failureStatus(const std::string& reason) {
    return "History is not being recorded: " + reason + ". Scanning goes on.";
}

std::string recoveryStatus(std::size_t keptMeanwhile, std::size_t lost) {
    std::string text = "History is being recorded again";
    if (keptMeanwhile > 0) {
        text += "; the " + std::to_string(keptMeanwhile) + " scans made meanwhile are in it";
    }
    if (lost > 0) {
        text += "; " + std::to_string(lost) + " earlier ones were lost";
    }
    return text + ".";
}

} // namespace quorlan::history
