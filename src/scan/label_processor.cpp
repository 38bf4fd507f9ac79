#include "scan/label_processor.h"

#include "cnc/line_values.h"
#include "cnc/program_file.h"
#include "config/common.h"
#include "platform/error.h"
#include "platform/text.h"
#include "scan/csv_export.h"
#include "scan/program_name.h"

namespace quorlan::scan {

namespace {

using platform::contains;
using platform::trimBlanks;

// A part number or count: the digit's value; anything else counts as 0.
int digitValue(char c) {
    return c >= '0' && c <= '9' ? c - '0' : 0;
}

// The program label's name: its whole content when no blank follows the name, else the text
// before the first blank with the program extension.
std::string partProgramName(const std::string& content) {
    const auto blank = content.find(' ');
    return blank == std::string::npos ? content : withProgramExtension(trimBlanks(content.substr(0, blank)));
}

} // namespace

LabelProcessor::LabelProcessor(ScanContext& context, LabelState& state, const FieldCodeTable& fieldCodes,
                               EditorLauncher launchEditor)
    : m_context(context), m_state(state), m_fieldCodes(fieldCodes),
      m_handover(context, state, fieldCodes, std::move(launchEditor)) {}

bool LabelProcessor::ProcessLabel(const std::string& text) {
    // Every character of a label ends up in a value of the line, so one that the line may not
    // carry refuses the whole label before anything is done with it.
    if (const std::string fault = cnc::lineValueFault(text); !fault.empty()) {
        m_context.view.setStatus("Label not accepted (" + fault + "): " + text);
        return false;
    }
    clearOnFirstScan();
    if (runControlLabel(text) || runFieldCodeLabel(text)) {
        return true;
    }
    m_state.Repetitions = "1";
    m_state.ListValue165 = "1";
    Scan scan{text};
    const bool plain = !contains(text, "%") && !contains(text, "$");
    if (const auto ended = plain ? readPlainLabel(scan) : readPartLabel(scan)) {
        return *ended;
    }
    return conclude(scan);
}

void LabelProcessor::clearOnFirstScan() {
    if (m_state.FirstScan) {
        m_context.workList.ClearWorkList();
        m_state.FirstScan = false;
    }
}

bool LabelProcessor::runControlLabel(const std::string& text) {
    auto& workList = m_context.workList;
    if (text == "%START%") {
        workList.StartWorkList();
    } else if (text == "%STOP%") {
        workList.HoldWorkList();
    } else if (text == "%END%") {
        workList.EndWorkList();
    } else if (text == "%CLEAR%") {
        clearLabelOrList();
    } else if (text == "%SETPOINT%" || text == "%SETP%") {
        workList.Setpoint();
    } else {
        return false;
    }
    config::ShowReady(m_context.view, m_context.pauser);
    return true;
}

// Abandons a partly collected set; with none in progress, empties the work list.
void LabelProcessor::clearLabelOrList() {
    if (m_state.CollectedParts.empty()) {
        m_context.workList.ClearWorkList();
        return;
    }
    platform::hidePartIndicators(m_context.view);
    ResetLabelState(m_state);
    m_state.CollectedParts.clear();
}

// Three to five characters whose inner text is a field code, such as %N% or %N1/%.
bool LabelProcessor::runFieldCodeLabel(const std::string& text) {
    if (text.size() < 3 || text.size() > 5) {
        return false;
    }
    const std::string trimmed = trimBlanks(text);
    const std::string code = trimmed.size() > 1 ? trimmed.substr(1, text.size() - 2) : std::string();
    if (!m_fieldCodes.IsFieldCode(code)) {
        return false;
    }
    m_state.FieldCode = code;
    m_state.FieldPreset = true;
    m_context.fieldSelector.SelectMachineField(fieldsel::mode::kFieldCodeLabel, 0, 0, m_state.FieldCode);
    return true;
}

std::optional<bool> LabelProcessor::readPlainLabel(Scan& scan) {
    const std::string name = withProgramExtension(trimBlanks(scan.text));
    if (refuseProgramName(name)) {
        return false;
    }
    applyDefaultField(scan);
    const auto source = m_context.fieldSelector.mirrorSource();
    if (source == fieldsel::MirrorSource::Barcode && !m_state.FieldPreset) {
        m_context.view.setStatus("Run Field Not Selected");
        scan.outcome = Outcome::RunFieldNotSelected;
        return std::nullopt;
    }
    dropPartialSet();
    m_state.ProgramName = name;
    writeCsvRecord();
    scan.partCount = '1';
    m_state.CollectedParts = "1";
    scan.outcome = Outcome::Accepted;
    return std::nullopt;
}

void LabelProcessor::applyDefaultField(Scan& scan) {
    const std::string defaultField = m_context.fieldSelector.defaultField();
    if (defaultField.empty() || m_state.FieldPreset) {
        return;
    }
    m_state.FieldCode = platform::toUpper(defaultField);
    m_state.FieldPreset = true;
    m_context.fieldSelector.SelectMachineField(fieldsel::mode::kExplicitField, 0, 0, m_state.FieldCode);
    scan.result = true;
}

// The values of a set given up half-way must not go out in the next label's line; a field that a
// field-code label fixed still applies.
void LabelProcessor::dropPartialSet() {
    if (m_state.CollectedParts.empty()) {
        return;
    }
    m_state.CollectedParts.clear();
    const std::string fieldCode = m_state.FieldCode;
    ResetLabelState(m_state);
    if (m_state.FieldPreset) {
        m_state.FieldCode = fieldCode;
    }
}

std::optional<bool> LabelProcessor::readPartLabel(Scan& scan) {
    std::string& text = scan.text;
    if (text.size() < 3) { // no part number, count and content to read
        return std::nullopt;
    }
    const char part = text[1];
    scan.partCount = text[2];
    if (digitValue(scan.partCount) == 9) {
        m_state.Repetitions = "999";
        scan.partCount = '1';
    }
    if (text.front() != '%' || contains(m_state.CollectedParts, std::string_view(&part, 1))) {
        return std::nullopt;
    }
    const int number = digitValue(part);
    if (number == 1) {
        const std::string name = partProgramName(text.substr(3));
        if (refuseProgramName(name)) {
            return false;
        }
    }
    m_state.CollectedParts.insert(0, 1, part);
    text.erase(0, 3);
    if (number < platform::kPartIndicatorCount) {
        m_context.view.setPartIndicator(number, true);
    }
    auto& variables = m_state.Variables;
    switch (number) {
    case 0:
        return loadList(text);
    case 1:
        readProgramPartOrUncount(part, text);
        break;
    case 2:
        readWords(text, {&m_state.DimX, &m_state.DimY, &m_state.DimZ});
        break;
    case 3:
        readWords(text, {&variables[LabelState::A], &variables[LabelState::B], &variables[LabelState::C],
                         &variables[LabelState::D]});
        break;
    case 4:
        readWords(text, {&variables[LabelState::E], &variables[LabelState::F], &variables[LabelState::G],
                         &variables[LabelState::I]});
        break;
    default: // parts 5 to 9 carry nothing the station stores
        break;
    }
    m_words.NextWord({});
    scan.outcome = Outcome::Accepted;
    return std::nullopt;
}

bool LabelProcessor::loadList(const std::string& listName) {
    m_state.CollectedParts.erase(0, 1);
    dropPartialSet();
    try {
        m_context.workList.ClearWorkList();
    } catch (const platform::StationError&) {
        // the list file replaces the list anyway
    }
    return m_context.workList.LoadListFile(listName);
}

// A program label whose reading failed (its CSV file could not be copied) has not arrived: it
// is not counted, so the operator can scan it again once the fault is mended.
void LabelProcessor::readProgramPartOrUncount(char part, std::string& content) {
    try {
        readProgramPart(content);
    } catch (...) {
        m_state.CollectedParts.erase(0, 1);
        m_context.view.setPartIndicator(digitValue(part), false);
        throw;
    }
}

void LabelProcessor::readProgramPart(std::string& content) {
    m_state.ProgramName = partProgramName(content);
    const auto blank = content.find(' ');
    if (blank == std::string::npos) {
        // Its file is not read now; the comment of the program before must not pass for its own.
        m_state.ProgramComment.clear();
        return;
    }
    writeCsvRecord();
    float x = 0;
    float y = 0;
    float z = 0;
    cnc::CheckProgramFile(m_context.settings.GCodePath, m_state.ProgramName, m_context.paths, m_context.view, x, y, z,
                          m_state.ProgramComment);
    m_state.ListComment = m_state.ProgramComment;
    content.erase(0, blank + 1);
    const std::string fieldCode = m_words.NextWord(content);
    if (!m_state.FieldPreset) {
        m_state.FieldCode = fieldCode;
    }
    m_state.ValueV = m_words.NextWord(content);
}

void LabelProcessor::readWords(const std::string& content, std::initializer_list<std::string*> targets) {
    for (std::string* target : targets) {
        *target = m_words.NextWord(content);
    }
}

void LabelProcessor::writeCsvRecord() {
    WriteCsvRecord(m_state.ProgramName, m_context.settings, m_context.commandLineUpper, m_context.paths,
                   m_context.view);
}

bool LabelProcessor::refuseProgramName(const std::string& name) {
    const std::string fault = cnc::programNameFault(name);
    if (!fault.empty()) {
        m_context.view.setStatus("Program name not accepted (" + fault + "): " + name);
    }
    return !fault.empty();
}

bool LabelProcessor::conclude(const Scan& scan) {
    const auto& collected = m_state.CollectedParts;
    // A rejected label never completes a set, whatever count it carries.
    if (scan.outcome == Outcome::Accepted && !collected.empty() &&
        static_cast<std::size_t>(digitValue(scan.partCount)) == collected.size()) {
        m_state.CollectedParts.clear();
        const Dimensions dimensions = m_handover.CompleteDimensions();
        m_handover.FinishLabel(HandoverForm::Label, dimensions);
        return true;
    }
    switch (scan.outcome) {
    case Outcome::Accepted:
        m_context.view.setStatus(" Waiting for next barcode...");
        break;
    case Outcome::FormatError:
        m_context.view.setStatus("Barcode Formating Error.  " + scan.text);
        break;
    case Outcome::RunFieldNotSelected:
        break;
    }
    return scan.result;
}

} // namespace quorlan::scan
