// What to print: the labels of a job's rows in the form asked for, the list label, or the command
// sheet; each as the bytes its symbol carries, checked by the station's own label rules first.
#pragma once

#include "job_file.h"
#include "label_painter.h"
#include "symbols/encoder.h"
#include "symbols/symbology.h"
#include "two_d_label.h"

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace quorlan::label_tool {

// The set of part labels, the program name alone, or the program itself in a 2D symbol.
enum class LabelForm { Parts, Plain, TwoD };

struct PlannedLabel {
    std::string payload; // the scan's bytes, in the station's code page
    symbols::Symbology symbology = symbols::Symbology::Code128;
    QString caption; // empty: the payload itself
    QString note;
    int line = 0;
    std::string column;       // named with the row when the payload does not fit its symbols
    std::string tooLargeHint; // said after the limit when it does not fit
};

// The parts of a label's note that are given, with a separator between them.
QString joinedNote(const QStringList& parts);

// Whether the bytes are UTF-8 text; a job file that is not is taken as Windows-1252.
bool isUtf8(const std::string& bytes);

// Text from a job or the command line to the station's bytes. utf8: the text is UTF-8 (else it
// already is Windows-1252). Throws std::invalid_argument naming a character the station cannot hold.
std::string stationBytes(const std::string& text, bool utf8);

// Every row is checked; the faults of all rows come back together, and then nothing is planned.
struct Plan {
    std::vector<PlannedLabel> labels;
    std::vector<std::string> faults;
    std::vector<std::string> notes; // worth a word, but no reason not to print
};

// twoD: how 2D program labels are made, for LabelForm::TwoD.
Plan planJob(const std::vector<JobRow>& rows, LabelForm form, bool utf8, const TwoDSettings& twoD = {});
Plan planListLabel(const std::string& listName, bool utf8);
// Every command label and every field-code label, for the wall beside the scanner.
Plan planCommandSheet();

// Each planned label as one or more printed ones: a payload too big for one symbol is split into a
// structured-append sequence, whose labels say "1/3", "2/3", "3/3". A 2D symbol must fit its label:
// one label too small for it gets several smaller symbols.
struct Printed {
    std::vector<PrintLabel> labels;
    std::vector<std::string> faults;
};
Printed encodePlan(const std::vector<PlannedLabel>& planned, const symbols::Encoder::Fits& fits = {});

} // namespace quorlan::label_tool
