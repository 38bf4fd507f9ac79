// Saving a program that came in a 2D barcode into the program folder.
#pragma once

#include <string>

namespace quorlan::cnc {

// Whether a program file is there with something in it; a missing or unreadable file counts as
// empty.
bool holdsProgram(const std::string& localPath);

// Writes the program text followed by CR LF. The text goes to a temporary file beside the old
// program, which is renamed over it only when the whole text is on the disk, so a failure half
// way (a full disk, a folder that may not be written) leaves the old program as it was. The new
// file keeps the old one's mode. Throws platform::StationError, saying what went wrong.
void SaveProgramFile(const std::string& localPath, const std::string& programText);

} // namespace quorlan::cnc
