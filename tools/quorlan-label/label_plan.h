// What to print: the labels of a job's rows in the form asked for, the list label, or the command
// sheet; each as the bytes its symbol carries, checked by the station's own label rules first.
#pragma once

#include "job_file.h"
#include "label_painter.h"
#include "symbols/symbology.h"

#include <QString>
#include <string>
#include <vector>

namespace quorlan::label_tool {

enum class LabelForm { Parts, Plain };

struct PlannedLabel {
    std::string payload; // the scan's bytes, in the station's code page
    symbols::Symbology symbology = symbols::Symbology::Code128;
    QString caption; // empty: the payload itself
    QString note;
    int line = 0;
};

// Text from a job or the command line to the station's bytes. utf8: the text is UTF-8 (else it
// already is Windows-1252). Throws std::invalid_argument naming a character the station cannot hold.
std::string stationBytes(const std::string& text, bool utf8);

// Every row is checked; the faults of all rows come back together, and then nothing is planned.
struct Plan {
    std::vector<PlannedLabel> labels;
    std::vector<std::string> faults;
};

Plan planJob(const std::vector<JobRow>& rows, LabelForm form, bool utf8);
Plan planListLabel(const std::string& listName, bool utf8);
// Every command label and every field-code label, for the wall beside the scanner.
Plan planCommandSheet();

// Each planned label as one or more printed ones: a payload too big for one symbol is split into a
// structured-append sequence, whose labels say "1/3", "2/3", "3/3".
struct Printed {
    std::vector<PrintLabel> labels;
    std::vector<std::string> faults;
};
Printed encodePlan(const std::vector<PlannedLabel>& planned);

} // namespace quorlan::label_tool
