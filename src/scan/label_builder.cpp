#include "scan/label_builder.h"

#include "cnc/line_values.h"
#include "cnc/program_file.h"
#include "platform/error.h"
#include "platform/text.h"
#include "scan/program_name.h"

namespace quorlan::scan {

namespace {

constexpr char kCompressedMark = '\xF1'; // "ñ": the scan loop expands such a scan

// Characters that change a label on its way to ProcessLabel: the scan loop cuts a label after
// its first "%" past the start, reads "!" as a blank and sends a scan holding "^" to 2D processing.
std::string labelTextFault(std::string_view text) {
    if (std::string fault = cnc::lineValueFault(text); !fault.empty()) {
        return fault;
    }
    if (platform::contains(text, "%")) {
        return "it holds \"%\", which ends a label";
    }
    if (platform::contains(text, "!")) {
        return "it holds \"!\", which the station reads as a blank";
    }
    if (platform::contains(text, "^")) {
        return "it holds \"^\", which makes the scan a 2D barcode";
    }
    return {};
}

void require(const std::string& item, const std::string& fault) {
    if (!fault.empty()) {
        throw LabelRefused(item, fault);
    }
}

// A word of a part label: NextWord ends it at the first blank.
void requireWord(const std::string& item, const std::string& word) {
    require(item, labelTextFault(word));
    if (platform::contains(word, " ")) {
        throw LabelRefused(item, "it holds a blank, which splits a label into words");
    }
}

void requireFieldCode(const FieldCodeTable& table, const std::string& fieldCode) {
    require("field code", fieldCodeFault(table, fieldCode));
}

void requireDimension(const std::string& item, const std::string& value) {
    requireWord(item, value);
    if (!value.empty()) {
        require(item, numberFault(value));
    }
}

// The station would take an empty name for the file ".CNC" itself.
void requireName(const std::string& item, const std::string& name, const std::string& fileName) {
    if (name.empty()) {
        throw LabelRefused(item, "no name is given");
    }
    require(item, cnc::programNameFault(fileName));
}

// "%" + part number + part count + words at single blanks, an empty word standing as nothing
// between two blanks. The blank before the closing "%" makes it a word of its own that nothing
// reads, so it never sticks to the last value.
std::string partLabel(char part, char count, const std::vector<std::string>& words) {
    std::string label{'%', part, count};
    for (std::size_t i = 0; i < words.size(); ++i) {
        label += (i == 0 ? "" : " ") + words[i];
    }
    return label + " %";
}

bool anyGiven(std::initializer_list<const std::string*> values) {
    for (const std::string* value : values) {
        if (!value->empty()) {
            return true;
        }
    }
    return false;
}

} // namespace

LabelRefused::LabelRefused(std::string item, const std::string& reason)
    : std::runtime_error(item + ": " + reason), m_item(std::move(item)), m_reason(reason) {}

std::string fieldCodeFault(const FieldCodeTable& table, const std::string& fieldCode) {
    if (table.IsFieldCode(fieldCode)) {
        return {};
    }
    return "\"" + fieldCode +
           "\" is not one of the 36 field codes (N, M, S, A, T or R, alone or followed by 1, /, 1/, /0 or /1)";
}

std::string numberFault(const std::string& value) {
    try {
        platform::strictSingle(value);
        return {};
    } catch (const platform::StationError&) {
        return "\"" + value + "\" is not a number";
    }
}

std::string buildFieldCodeLabel(const FieldCodeTable& table, const std::string& fieldCode) {
    requireFieldCode(table, fieldCode);
    return "%" + fieldCode + "%";
}

std::string buildListLabel(const std::string& listName) {
    require("list", labelTextFault(listName));
    if (platform::trimBlanks(listName) != listName) {
        throw LabelRefused("list", "it begins or ends with a blank");
    }
    requireName("list", listName, listName + ".LST");
    return "%01" + listName;
}

std::string buildPlainLabel(const FieldCodeTable& table, const std::string& program) {
    require("program", labelTextFault(program));
    if (platform::contains(program, "$")) {
        throw LabelRefused("program", "it holds \"$\", which makes the label a part label");
    }
    if (platform::trimBlanks(program) != program) {
        throw LabelRefused("program", "it begins or ends with a blank, which the station drops");
    }
    if (!program.empty() && program.front() == kCompressedMark) {
        throw LabelRefused("program", "it begins with \"\xF1\", which marks a compressed scan");
    }
    // ProcessLabel takes a text of three to five characters whose inner part is a field code
    // for a field-code label.
    if (program.size() >= 3 && program.size() <= 5 && table.IsFieldCode(program.substr(1, program.size() - 2))) {
        throw LabelRefused("program", "the station reads \"" + program + "\" as a field-code label");
    }
    requireName("program", program, withProgramExtension(program));
    return program;
}

std::vector<std::string> buildPartLabels(const FieldCodeTable& table, const PartValues& values) {
    requireWord("program", values.program);
    requireName("program", values.program, withProgramExtension(values.program));
    if (!values.fieldCode.empty()) {
        requireFieldCode(table, values.fieldCode);
    }
    requireWord("V", values.valueV);
    requireDimension("X", values.dimX);
    requireDimension("Y", values.dimY);
    requireDimension("Z", values.dimZ);
    static constexpr const char* kVariableNames[] = {"A", "B", "C", "D", "E", "F", "G", "I"};
    for (std::size_t i = 0; i < values.variables.size(); ++i) {
        requireWord(kVariableNames[i], values.variables[i]);
    }

    const auto& v = values.variables;
    const bool dimensions = anyGiven({&values.dimX, &values.dimY, &values.dimZ});
    const bool firstVariables = anyGiven({&v[LabelState::A], &v[LabelState::B], &v[LabelState::C], &v[LabelState::D]});
    const bool lastVariables = anyGiven({&v[LabelState::E], &v[LabelState::F], &v[LabelState::G], &v[LabelState::I]});
    const int size = 1 + int{dimensions} + int{firstVariables} + int{lastVariables};
    if (values.repeated && size > 1) {
        // A count of 9 completes the set with its first label.
        throw LabelRefused("repetitions", "999 repetitions need the program label alone; leave the dimensions "
                                          "and variables to the program file");
    }
    const char count = values.repeated ? '9' : static_cast<char>('0' + size);

    std::vector<std::string> labels{partLabel('1', count, {values.program, values.fieldCode, values.valueV})};
    if (dimensions) {
        labels.push_back(partLabel('2', count, {values.dimX, values.dimY, values.dimZ}));
    }
    if (firstVariables) {
        labels.push_back(
            partLabel('3', count, {v[LabelState::A], v[LabelState::B], v[LabelState::C], v[LabelState::D]}));
    }
    if (lastVariables) {
        labels.push_back(
            partLabel('4', count, {v[LabelState::E], v[LabelState::F], v[LabelState::G], v[LabelState::I]}));
    }
    return labels;
}

} // namespace quorlan::scan
