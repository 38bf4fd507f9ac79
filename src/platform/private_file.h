// Files that hold a secret. They are created readable and writable by their owner alone, and read
// only while they still are, so that a secret that other users could read or replace is refused
// rather than trusted.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorlan::platform {

// The whole file, at most maxBytes. Throws StationError, with a description that names the file
// and says how to mend it, when it cannot be read, is not a regular file, belongs to another user,
// allows any access to other users, or is longer than maxBytes.
std::string readPrivateFile(const std::string& path, std::size_t maxBytes);

// Creates the file with mode 0600 and writes contents to disk. A file already there, or a link
// in its place, is left as it is: StationError 58. Nothing is left behind when the write fails.
void createPrivateFile(const std::string& path, std::string_view contents);

} // namespace quorlan::platform
