// The bytes of a 2D scan argument, made by the station's own builders so that the emulator sends
// exactly what the station reads.
#pragma once

#include "options.h"

#include <string>

namespace quorlan::scan_tool {

// Throws std::invalid_argument, saying why, for a header, list name or program file the station
// could not read back, or a program file that cannot be read.
std::string twoDScanBytes(const ScanArgument& scan, const Options& options);

// What the emulator prints for the scan it sent (its payload): what the station reads, in UTF-8,
// control characters shown as escapes; a 2D scan by its header and size.
std::string describeScan(const ScanArgument& scan, const Options& options, const std::string& payload);

} // namespace quorlan::scan_tool
