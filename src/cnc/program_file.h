// Reading a part program's dimensions and comment from its file.
#pragma once

#include "platform/path_mapper.h"
#include "platform/view.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quorlan::cnc {

// No file system holds a longer file name.
inline constexpr std::size_t kMaxProgramNameBytes = 255;

// Empty when the program name names a file inside its folder and may stand in a work-list line;
// otherwise why not, for the operator. A name must not be empty, nor longer than a file name can
// be, nor hold a path separator, "..", a drive or other colon, a wildcard, ";" or a control
// character.
std::string programNameFault(std::string_view programName);
bool isSafeProgramName(std::string_view programName);

// CheckProgramFile: reads GCodePath + ProgramName. Sets x, y, z where the file gives them (never
// resets them) and programComment (emptied first; ";" and control characters become blanks).
// Traps every error silently, except a file of the wrong kind, which the operator is told about:
// content that is no program, or a FIFO, a device or a folder under the program's name, which is
// not even opened for reading.
void CheckProgramFile(const std::string& gcodePath, const std::string& programName, const platform::PathMapper& paths,
                      platform::StationView& view, float& x, float& y, float& z, std::string& programComment);

} // namespace quorlan::cnc
