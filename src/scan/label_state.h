// The record in which a label set or 2D scan is assembled into one work-list line, the table of
// recognised machine field codes, the word splitter for label contents, and the line builder.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quorlan::scan {

inline constexpr int kFieldCodeCount = 36;

// Field codes at positions 1..36: letters N M S A T R with the suffixes "", "1", "/", "1/",
// "/0", "/1", suffix-major.
class FieldCodeTable {
public:
    FieldCodeTable(); // InitFieldCodeTable

    // Exact, case-sensitive.
    bool IsFieldCode(const std::string& code) const;
    // 1..36, or 37 when the code is not in the table.
    int positionOf(const std::string& code) const;
    const std::string& at(int position) const { return m_entries.at(static_cast<std::size_t>(position - 1)); }

private:
    std::array<std::string, kFieldCodeCount> m_entries;
};

struct LabelState {
    enum Variable { A, B, C, D, E, F, G, I, VariableCount };

    std::string ProgramName;
    std::string Repetitions;
    std::string FieldCode;
    bool FieldPreset = false;
    std::string ListComment;
    std::string ProgramComment;
    std::string DimX, DimY, DimZ;
    std::string ValueV;
    std::array<std::string, VariableCount> Variables;
    std::string ListValue165;
    std::string ListValue282, ListValue223;
    std::string ListValue281, ListValue285, ListValue280, ListValue283, ListValue277, ListValue278, ListValue279;
    std::string CollectedParts;
    std::int16_t FieldIndex = 0;
    std::int16_t FieldIndexEven = 0;

    // Shared beside the record.
    bool FirstScan = false;
    std::string LastProgramName;
    std::string LastProgramComment;
};

void ResetLabelState(LabelState& state);

// "#" + item + "=" + value + ";" for the 18 items in their fixed order. Blanks the dimensions
// that read as zero in the state, as the line does.
std::string BuildListLine(LabelState& state, const FieldCodeTable& table);

// NextWord: returns the words of a text one per call; a word ends at a single blank. Calling it
// with the empty text resets it.
class WordSplitter {
public:
    std::string NextWord(const std::string& text);

private:
    std::string m_source;
    std::size_t m_position = 0;
};

} // namespace quorlan::scan
