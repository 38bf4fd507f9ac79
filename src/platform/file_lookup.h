// The directory-listing lookup behind the station's file-existence test: ordinary, visible files
// only, wildcards in the file name, letter case ignored as on the workstation.
#pragma once

#include "platform/path_mapper.h"

#include <string>
#include <string_view>

namespace quorlan::platform {

// The station's error number for a failed lookup: 76 path not found, 57 device I/O error,
// 71 disk not ready, 68 device unavailable, 70 permission denied, 61 disk full, 75 otherwise.
int lookupErrorNumber(int systemError);

// Whether a name matches a pattern with * (any run) and ? (one character), letter case ignored;
// a pattern ending in ".*" also matches the name without an extension, as "*.*" always did.
bool matchesPattern(std::string_view name, std::string_view pattern);

// Whether an ordinary file that is not hidden matches the path's last component. A path that
// ends with a separator names no file. Throws StationError (lookupErrorNumber) when the folder
// cannot be listed.
bool findFile(std::string_view windowsPath, const PathMapper& paths);

} // namespace quorlan::platform
