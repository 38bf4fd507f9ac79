// The one-dimensional labels, built as ProcessLabel reads them: commands, field codes, the list
// label, the plain program label and the set of part labels. A builder refuses any value that the
// station would not read back into the same value of its line, and says which value and why.
#pragma once

#include "scan/label_state.h"

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorlan::scan {

// A value a label cannot carry. item names the value ("program", "field code", "X", "A" ...).
class LabelRefused : public std::runtime_error {
public:
    LabelRefused(std::string item, const std::string& reason);
    const std::string& item() const { return m_item; }
    const std::string& reason() const { return m_reason; }

private:
    std::string m_item;
    std::string m_reason;
};

// Every command label, in the order a sheet beside the scanner shows them.
inline constexpr std::array<std::string_view, 5> kCommandLabels = {"%START%", "%STOP%", "%END%", "%CLEAR%",
                                                                   "%SETPOINT%"};

// Why a field code is not one of the 36, or a dimension no number; empty when it is. The 2D
// labels' headers refuse the same values.
std::string fieldCodeFault(const FieldCodeTable& table, const std::string& fieldCode);
std::string numberFault(const std::string& value);

// "%N%" for one of the 36 field codes.
std::string buildFieldCodeLabel(const FieldCodeTable& table, const std::string& fieldCode);

// "%01JOB1": the list file ListPath + name + ".LST" replaces the work list.
std::string buildListLabel(const std::string& listName);

// A program name alone: "FLANGE" queues FLANGE.CNC with the field the station chooses.
std::string buildPlainLabel(const FieldCodeTable& table, const std::string& program);

// What a set of part labels hands to the station.
struct PartValues {
    std::string program;   // FLANGE or FLANGE.CNC; the station adds ".CNC" where it is missing
    std::string fieldCode; // one of the 36, or empty for the station's automatic choice
    std::string valueV;
    std::string dimX, dimY, dimZ; // numbers; empty ones are read from the program file
    std::array<std::string, LabelState::VariableCount> variables;
    bool repeated = false; // 999 repetitions: a set of the program label alone
};

// The program label, then dimensions, variables A-D and variables E-I where any of them is given,
// each numbered by its content and counted by the set's size (9 for a repeated one-label set).
std::vector<std::string> buildPartLabels(const FieldCodeTable& table, const PartValues& values);

} // namespace quorlan::scan
