#include "scan/two_d_barcode.h"

#include "cnc/line_values.h"
#include "cnc/program_file.h"
#include "cnc/program_store.h"
#include "platform/error.h"
#include "platform/text.h"
#include "scan/two_d_payload.h"

#include <bitset>
#include <utility>

namespace quorlan::scan {

namespace {

using platform::trimBlanks;

std::string programTextOf(const std::string& scan) {
    return trimBlanks(std::string_view(scan).substr(scan.find(kProgramSeparator) + 1));
}

std::string headerOf(const std::string& scan) {
    return scan.substr(0, scan.find(kProgramSeparator));
}

// Where a header item goes, and the indicator it lights (0: none).
std::pair<std::string*, int> itemTarget(LabelState& state, char letter) {
    auto& variables = state.Variables;
    switch (letter) {
    case 'V':
        return {&state.ValueV, 0};
    case 'X':
        return {&state.DimX, 2};
    case 'Y':
        return {&state.DimY, 2};
    case 'Z':
        return {&state.DimZ, 2};
    case 'A':
        return {&variables[LabelState::A], 3};
    case 'B':
        return {&variables[LabelState::B], 3};
    case 'C':
        return {&variables[LabelState::C], 3};
    case 'D':
        return {&variables[LabelState::D], 3};
    case 'E':
        return {&variables[LabelState::E], 4};
    case 'F':
        return {&variables[LabelState::F], 4};
    case 'G':
        return {&variables[LabelState::G], 4};
    case 'I':
        return {&variables[LabelState::I], 4};
    default: // any other letter stores nothing
        return {nullptr, 0};
    }
}

// Stores the header's items (fields 2 to 14) into the state; returns the indicators they light.
std::bitset<platform::kPartIndicatorCount> readHeaderItems(LabelState& state, const std::string& header) {
    std::bitset<platform::kPartIndicatorCount> lit;
    for (int field = 2; field <= kLastHeaderField; ++field) {
        const std::string item = headerField(header, field);
        if (item.empty()) {
            continue;
        }
        const std::string value = trimBlanks(std::string_view(item).substr(1));
        if (item.front() == 'U') {
            // A field fixed before, by a field-code label, wins over the header's.
            if (trimBlanks(state.FieldCode).empty()) {
                state.FieldCode = value;
            }
            continue;
        }
        const auto [target, indicator] = itemTarget(state, item.front());
        if (target != nullptr) {
            *target = value;
        }
        if (indicator != 0) {
            lit.set(static_cast<std::size_t>(indicator));
        }
    }
    return lit;
}

// What of a header reaches the work-list line (the program name aside): the field code and the
// dimensions as they stand once every item is read. V, the variables, unknown letters, a U that a
// fixed field overrides and an item a later one replaces go nowhere, so they are not looked at.
std::string lineValuesFault(const LabelState& state, const std::string& header) {
    LabelState read = state;
    readHeaderItems(read, header);
    for (const std::string* value : {&read.FieldCode, &read.DimX, &read.DimY, &read.DimZ}) {
        if (std::string fault = cnc::lineValueFault(*value); !fault.empty()) {
            return fault;
        }
    }
    return {};
}

// A scanner's line end after the list form is no part of its trailer.
std::string withoutLineEnd(std::string scan) {
    while (!scan.empty() && (scan.back() == '\r' || scan.back() == '\n') && scan.size() > kListFormMark.size()) {
        scan.pop_back();
    }
    return scan;
}

} // namespace

TwoDProcessor::TwoDProcessor(ScanContext& context, LabelState& state, const FieldCodeTable& fieldCodes,
                             EditorLauncher launchEditor)
    : m_context(context), m_state(state), m_handover(context, state, fieldCodes, std::move(launchEditor)) {}

void TwoDProcessor::Process2DBarcode(std::string scan) {
    scan = withoutTwoDPrefix(std::move(scan));
    if (const auto why = refusal(scan)) {
        m_context.view.setStatus(*why);
        return;
    }
    if (m_state.FirstScan) {
        m_context.workList.ShowWorkList();
        m_context.workList.ClearWorkList();
        m_state.FirstScan = false;
    }
    if (isListForm(scan)) {
        loadList(scan);
        return;
    }
    m_context.view.setStatus("Wait saving g-code.");
    readHeader(headerOf(scan));
    const std::string programText = programTextOf(scan);
    if (programText.size() > kLongestUnsavedProgram && !saveProgram(programText)) {
        abandon();
        return;
    }
    // The comment of the program before is no comment of this one, whether or not its file is read.
    m_state.ProgramComment.clear();
    const Dimensions dimensions = m_handover.CompleteDimensions();
    m_handover.FinishLabel(HandoverForm::TwoD, dimensions);
}

void TwoDProcessor::loadList(const std::string& scan) {
    m_context.workList.ClearWorkList();
    m_context.workList.LoadListFile(listFormName(withoutLineEnd(scan)));
}

// Checked before anything is done, so that a refused scan touches neither list nor file.
std::optional<std::string> TwoDProcessor::refusal(const std::string& scan) const {
    if (isListForm(scan)) {
        const std::string name = listFormName(withoutLineEnd(scan));
        if (const std::string fault = cnc::lineValueFault(name); !fault.empty()) {
            return "List name not accepted (" + fault + "): " + name;
        }
        return std::nullopt;
    }
    if (scan.find(kProgramSeparator) == std::string::npos) {
        return "2D barcode not used: no \"!\" separates its header from a program: " + scan;
    }
    const std::string header = headerOf(scan);
    const std::string name = headerField(header, 1);
    if (const std::string fault = cnc::programNameFault(name); !fault.empty()) {
        return "Program name not accepted (" + fault + "): " + name;
    }
    if (const std::string fault = lineValuesFault(m_state, header); !fault.empty()) {
        return "2D barcode not accepted (" + fault + "): " + header;
    }
    const std::string path = trimBlanks(m_context.settings.GCodePath + name);
    if (programTextOf(scan).size() <= kLongestUnsavedProgram && !cnc::holdsProgram(m_context.paths.toLocal(path))) {
        return "2D barcode not used: its program text is too short to be saved, and there is no program " + path;
    }
    return std::nullopt;
}

void TwoDProcessor::readHeader(const std::string& header) {
    m_state.ProgramName = headerField(header, 1);
    m_state.Repetitions = "1";
    m_state.ListValue165 = "1";
    m_context.view.setPartIndicator(1, true);
    const auto lit = readHeaderItems(m_state, header);
    for (int indicator = 0; indicator < platform::kPartIndicatorCount; ++indicator) {
        if (lit.test(static_cast<std::size_t>(indicator))) {
            m_context.view.setPartIndicator(indicator, true);
        }
    }
}

bool TwoDProcessor::saveProgram(const std::string& programText) {
    const std::string path = trimBlanks(m_context.settings.GCodePath + m_state.ProgramName);
    const std::string localPath = m_context.paths.toLocal(path);
    if (!m_context.view.option(platform::Option::Overwrite) && cnc::holdsProgram(localPath)) {
        return true; // the program there is kept; the label still goes to the list
    }
    try {
        cnc::SaveProgramFile(localPath, programText);
        return true;
    } catch (const platform::StationError& error) {
        const std::string text = "Program " + path + " not saved, so it was not queued: " + error.description();
        m_context.view.setStatus(text);
        m_context.view.message(text, platform::MessageIcon::Exclamation);
        return false;
    }
}

// The header read so far must not go out with the next scan's line.
void TwoDProcessor::abandon() {
    platform::hidePartIndicators(m_context.view);
    ResetLabelState(m_state);
}

} // namespace quorlan::scan
