#pragma once

#include <string_view>

namespace quorlan::platform {

// Writes all of bytes to fd, resuming after interrupted and partial writes. On false, errno says
// why; a write that makes no progress counts as a full disk.
bool writeAll(int fd, std::string_view bytes);

} // namespace quorlan::platform
