// The per-program CSV files: each scanned program's file is appended to one collecting file.
#pragma once

#include "config/station_settings.h"
#include "platform/path_mapper.h"
#include "platform/view.h"

#include <string>

namespace quorlan::scan {

// Appends CSVInPath\NAME.CSV (NAME: the program name without ".CNC") to CSVOutPath, then deletes
// it unless the command line holds CSV or KEEP. A missing source is silent. Read, append and
// delete failures throw platform::StationError naming the file; a collecting file that is not a
// file (a FIFO, a device, a folder) is refused without being opened.
// Each record is collected once, whole, and on the disk before its source goes: an append that
// fails (a full disk) is taken back, leaving the collecting file as it was and the source where
// it was, and a move that a kill or a crash interrupts is finished by the program's next label,
// which recognises a record that was already appended. The caller makes sure the program name
// stays inside its folder.
void WriteCsvRecord(const std::string& programName, const config::StationSettings& settings,
                    const std::string& commandLineUpper, const platform::PathMapper& paths,
                    platform::StationView& view);

} // namespace quorlan::scan
