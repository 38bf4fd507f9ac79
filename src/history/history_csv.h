// The history as CSV, for a spreadsheet: a header, then one line per event, oldest first, in
// UTF-8 with CRLF line ends and RFC 4180 quoting. Fields holding a comma or a semicolon are
// quoted, so the work-list line stays one field whichever separator the spreadsheet expects, and
// a field a spreadsheet would run as a formula (=, +, @, or a - that is no number) is led by an
// apostrophe: a scanned label must not run anything on the foreman's computer.
#pragma once

#include "history/history_reader.h"

#include <cstdint>
#include <string>

namespace quorlan::history {

// Appends the event's CSV line, its line end included.
void appendCsvLine(std::string& out, const Event& event);
std::string csvHeader();

// Writes the filter's events to path, through a temporary file in the same folder that takes its
// name only when all is written, so a failed export leaves no half file. Memory stays bounded
// whatever the number of rows. Returns how many were written; throws std::runtime_error with a
// readable message when the file cannot be written.
std::int64_t exportCsv(HistoryReader& reader, const Filter& filter, const std::string& path);

} // namespace quorlan::history
