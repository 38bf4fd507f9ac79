// Reading a part program's dimensions and comment from its file.
#pragma once

#include "platform/path_mapper.h"
#include "platform/view.h"

#include <string>
#include <string_view>

namespace quorlan::cnc {

// A program name names a file inside its folder: not empty, no separators, no "..", no drive or
// other colon, no NUL byte.
bool isSafeProgramName(std::string_view programName);

// CheckProgramFile: reads GCodePath + ProgramName. Sets x, y, z where the file gives them (never
// resets them) and programComment (emptied first). Traps every error silently, except a file
// of the wrong kind, which the operator is told about.
void CheckProgramFile(const std::string& gcodePath, const std::string& programName, const platform::PathMapper& paths,
                      platform::StationView& view, float& x, float& y, float& z, std::string& programComment);

} // namespace quorlan::cnc
