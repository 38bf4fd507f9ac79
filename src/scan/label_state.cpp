#include "scan/label_state.h"

#include "platform/text.h"

namespace quorlan::scan {

namespace {

constexpr std::array<const char*, 6> kFieldLetters = {"N", "M", "S", "A", "T", "R"};
constexpr std::array<const char*, 6> kFieldSuffixes = {"", "1", "/", "1/", "/0", "/1"};

constexpr const char* kBlank = " ";

void blankIfZero(std::string& dimension) {
    if (platform::numericValue(dimension) == 0.0) {
        dimension.clear();
    }
}

void appendItem(std::string& line, int number, const std::string& value) {
    line += '#';
    line += std::to_string(number);
    line += '=';
    line += value;
    line += ';';
}

} // namespace

FieldCodeTable::FieldCodeTable() {
    std::size_t position = 0;
    for (const char* suffix : kFieldSuffixes) {
        for (const char* letter : kFieldLetters) {
            m_entries[position++] = std::string(letter) + suffix;
        }
    }
}

bool FieldCodeTable::IsFieldCode(const std::string& code) const {
    return positionOf(code) <= kFieldCodeCount;
}

int FieldCodeTable::positionOf(const std::string& code) const {
    int position = 1;
    for (const auto& entry : m_entries) {
        if (entry == code) {
            return position;
        }
        ++position;
    }
    return kFieldCodeCount + 1;
}

void ResetLabelState(LabelState& state) {
    state.ProgramName = kBlank;
    state.Repetitions = "1";
    state.FieldCode = kBlank;
    state.ListValue165 = "1";
    state.DimX = state.DimY = state.DimZ = kBlank;
    state.ListComment = kBlank;
    state.ListValue282 = kBlank;
    state.ValueV = kBlank;
    state.ListValue223 = kBlank;
    state.Variables.fill(kBlank);
}

std::string BuildListLine(LabelState& state, const FieldCodeTable& table) {
    state.FieldIndex = static_cast<std::int16_t>(table.positionOf(state.FieldCode));
    state.FieldIndexEven = state.FieldIndex % 2 == 0 ? 1 : 0;
    blankIfZero(state.DimX);
    blankIfZero(state.DimY);
    blankIfZero(state.DimZ);

    std::string line;
    line.reserve(160 + state.ProgramName.size() + state.ListComment.size());
    appendItem(line, 161, state.ProgramName);
    appendItem(line, 162, state.ListComment);
    appendItem(line, 164, state.Repetitions);
    appendItem(line, 165, state.ListValue165);
    appendItem(line, 281, state.ListValue281);
    appendItem(line, 171, std::to_string(state.FieldIndex));
    appendItem(line, 284, std::to_string(state.FieldIndexEven));
    appendItem(line, 285, state.ListValue285);
    appendItem(line, 280, state.ListValue280);
    appendItem(line, 168, state.DimX);
    appendItem(line, 169, state.DimY);
    appendItem(line, 170, state.DimZ);
    appendItem(line, 282, state.ListValue282);
    appendItem(line, 283, state.ListValue283);
    appendItem(line, 223, state.ListValue223);
    appendItem(line, 277, state.ListValue277);
    appendItem(line, 278, state.ListValue278);
    appendItem(line, 279, state.ListValue279);

    state.FieldIndex = 0;
    state.FieldIndexEven = 0;
    return line;
}

std::string WordSplitter::NextWord(const std::string& text) {
    if (text.empty()) {
        m_source.clear();
        m_position = 0;
        return {};
    }
    if (m_position >= text.size()) {
        return {};
    }
    if (text != m_source) {
        m_position = 0;
    }
    const auto blank = text.find(' ', m_position);
    const auto end = blank == std::string::npos ? text.size() : blank;
    std::string word = platform::trimBlanks(std::string_view(text).substr(m_position, end - m_position));
    // Past the blank that ended the word; past the end (by one) when the text ran out.
    m_position = end + 1;
    m_source = text;
    return word;
}

} // namespace quorlan::scan
