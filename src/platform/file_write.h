// Writing files in folders that others may also write in (the program folder, the settings
// file's folder, the compressed scans' fixed folder): never through a link planted there, never
// into a file that was there before when a fresh one is meant, and never half a file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorlan::platform {

// Writes all of bytes to fd, resuming after interrupted and partial writes. On false, errno says
// why; a write that makes no progress counts as a full disk.
bool writeAll(int fd, std::string_view bytes);

// A file made here and now for writing: whatever had the name before (a link, a file someone
// planted) is removed first, and the name is then created exclusively, so that nothing is ever
// written through a link or into a file made by someone else. -1 with errno when it cannot be.
int createFresh(const std::string& localPath);

// Where a replacement can fall back to rewriting the file itself.
enum class InPlace {
    Never,          // a file that must never be seen half written
    WhenNoTemporary // a folder the user may not create files in, or an owner a new file cannot get
};

struct ReplaceFailure {
    enum class Step {
        Folder,   // no file could be made beside it
        Write,    // the new content did not reach the disk
        ReadOnly, // the file has no write permission, or not for this user
        NotAFile  // a link, a folder, a FIFO or a device has the name
    };
    Step step;
    int systemError = 0;
};

// Replaces the whole content of the file at localPath, or creates it, so that a crash never
// leaves half of it: the content goes to a temporary file beside it, created exclusively under
// a name nobody can predict, which takes the old file's mode, owner and group (as far as this
// user may give them) and is renamed over it once the content is on the disk. A file this user
// may not write is never changed, and the name itself is never followed: a link there is
// refused, so the caller decides about links. Nothing when it was done.
std::optional<ReplaceFailure> replaceFile(const std::string& localPath, std::string_view content, InPlace fallback);

} // namespace quorlan::platform
