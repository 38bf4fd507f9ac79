// On Windows a file's readers are set by its access list, not by mode bits. Who besides the user
// that runs the program may read a secret is answered from that list here, apart from the file,
// so that the rule can be tried on any list.
#pragma once

#include <string>
#include <vector>
#include <windows.h>

namespace quorlan::platform {

// The accounts, as SID strings, each once, that the access list lets read the file's contents or
// give themselves that right (by changing the list or taking the file over), other than `user`,
// the file's `owner`, the local system and the administrators. A null list lets everyone read.
std::vector<std::string> otherReaders(const ACL* dacl, PSID owner, PSID user);

} // namespace quorlan::platform
