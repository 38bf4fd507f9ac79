// The command sheet for the wall beside the scanner, on one A4 page: a heading, the command labels,
// the 36 field-code labels in a table of the machine table's places by their suffixes, and a key of
// what a field code means on the machine table. Every label sits centred in its framed cell.
#pragma once

#include "label_run.h"

namespace quorlan::label_tool {

// The cell of each label on the page, in dots, in the order of planCommandSheet().
std::vector<Rect> commandSheetCells(const Layout& page);

// The sheet written to settings.output (its cell and sheet settings do not apply); faults as
// printLabels gives them. Throws OutputError when it cannot be written.
PrintResult printCommandSheet(const PrintSettings& settings);

} // namespace quorlan::label_tool
