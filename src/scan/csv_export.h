// The per-program CSV files: each scanned program's file is appended to one collecting file.
#pragma once

#include "config/station_settings.h"
#include "platform/path_mapper.h"
#include "platform/view.h"

#include <string>

namespace quorlan::scan {

// Appends CSVInPath\NAME.CSV (NAME: the program name without ".CNC") to CSVOutPath, then deletes
// it unless the command line holds CSV or KEEP. A missing source is silent. Read, append and
// delete failures throw platform::StationError; the source is deleted only after a complete
// append. The caller makes sure the program name stays inside its folder.
void WriteCsvRecord(const std::string& programName, const config::StationSettings& settings,
                    const std::string& commandLineUpper, const platform::PathMapper& paths,
                    platform::StationView& view);

} // namespace quorlan::scan
