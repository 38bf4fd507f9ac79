// A 2D program label: the program file of a part with the header the station fills its line from,
// plain or compressed, as the symbol carries it. The program file's bytes go as they are; the
// station saves them with CR LF after them, so one line end at the file's end is left off.
#pragma once

#include "job_file.h"
#include "symbols/symbology.h"

#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace quorlan::label_tool {

struct PlannedLabel;

struct TwoDSettings {
    symbols::Symbology symbology = symbols::Symbology::QRCode;
    bool compress = false;
    QString programFolder = QStringLiteral("."); // where the program files are, by the program's name
};

// A file beyond this is refused unread: no label holds a fraction of it.
inline constexpr qint64 kLargestProgramFile = 1 << 20;

// A column of the row in the station's bytes; throws JobError naming row and column.
using ColumnReader = std::function<std::string(const std::string& column)>;

// Throws JobError naming the row, the column and the reason for a value or program file the
// station could not read back. notes gets remarks that do not stop the label.
PlannedLabel planTwoDLabel(const JobRow& row, const ColumnReader& value, const TwoDSettings& settings,
                           std::vector<std::string>& notes);

} // namespace quorlan::label_tool
