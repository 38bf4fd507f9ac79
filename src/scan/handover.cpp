#include "scan/handover.h"

#include "cnc/program_file.h"
#include "config/common.h"
#include "platform/error.h"
#include "platform/text.h"

#include <algorithm>
#include <limits>

namespace quorlan::scan {

namespace {

namespace mode = fieldsel::mode;

constexpr const char* kAutomaticBoth = "&";

// A single as the station reads a dimension; absurd sizes saturate instead of overflowing.
float singleValue(const std::string& text) {
    constexpr double kMax = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(platform::numericValue(text), -kMax, kMax));
}

Dimensions dimensionsOf(const LabelState& state) {
    return {singleValue(state.DimX), singleValue(state.DimY), singleValue(state.DimZ)};
}

void fillIfZero(std::string& dimension, float fromFile) {
    if (platform::numericValue(dimension) == 0.0) {
        dimension = platform::trimBlanks(platform::formatSingle(fromFile));
    }
}

} // namespace

LabelHandover::LabelHandover(ScanContext& context, LabelState& state, const FieldCodeTable& fieldCodes,
                             EditorLauncher launchEditor)
    : m_context(context), m_state(state), m_fieldCodes(fieldCodes), m_launchEditor(std::move(launchEditor)) {}

Dimensions LabelHandover::CompleteDimensions() {
    Dimensions found = dimensionsOf(m_state);
    if (found.x == 0 || found.y == 0 || found.z == 0) {
        cnc::CheckProgramFile(m_context.settings.GCodePath, m_state.ProgramName, m_context.paths, m_context.view,
                              found.x, found.y, found.z, m_state.ProgramComment);
        fillIfZero(m_state.DimX, found.x);
        fillIfZero(m_state.DimY, found.y);
        fillIfZero(m_state.DimZ, found.z);
    }
    return dimensionsOf(m_state);
}

void LabelHandover::FinishLabel(HandoverForm form, const Dimensions& dimensions) {
    bool handedOver = false;
    try {
        handedOver = handOver(form, dimensions);
    } catch (...) {
        settle(false);
        throw;
    }
    settle(handedOver);
}

bool LabelHandover::handOver(HandoverForm form, const Dimensions& dimensions) {
    if (form == HandoverForm::Label) {
        if (m_context.view.option(platform::Option::AutoClear)) {
            m_context.workList.ClearWorkList();
        }
    } else {
        m_state.ListComment = platform::trimBlanks(m_state.ProgramComment);
    }
    if (!m_context.fieldSelector.DetectMirrorTrigger(m_state.ProgramName, m_state.ProgramComment, m_state.FieldCode)) {
        return SubmitListLine(form, dimensions);
    }
    m_state.FieldCode = kAutomaticBoth;
    if (!SubmitListLine(form, dimensions)) {
        return false;
    }
    m_state.FieldCode = kAutomaticBoth;
    return SubmitListLine(form, dimensions);
}

bool LabelHandover::SubmitListLine(HandoverForm form, const Dimensions& dimensions) {
    chooseField(dimensions);
    m_context.view.setStatus("Adding to Barcode data to List.");
    const std::string line = BuildListLine(m_state, m_fieldCodes);
    const bool inList = (m_context.watch == nullptr || m_context.watch->mayHandOver(line, m_state)) && sendLine(line);
    if (inList && m_context.view.option(platform::Option::AutoStart)) {
        startMachine();
    }
    m_state.FieldCode.clear();
    m_state.FieldPreset = false;
    if (inList && form == HandoverForm::Label && m_context.port.isOpen()) {
        m_context.port.write("ACK\r");
    }
    return inList;
}

// The line is in the list whatever the start does: a label that went unacknowledged for a failed
// start would be scanned again and its part made twice.
void LabelHandover::startMachine() {
    try {
        m_context.workList.StartWorkList();
    } catch (const platform::StationError& error) {
        const bool unknown = cnc::classify(error) == cnc::CallFailure::Unknown;
        m_context.view.message(
            platform::trimBlanks(m_state.ProgramName) +
                " was queued, but the machine was not started: " + error.description() +
                (unknown ? "" : " (error " + std::to_string(error.number()) + "). Scan %START% to start it."),
            platform::MessageIcon::Exclamation);
    }
}

// ConnectListManager, with the watch told what became of the line, also when an error passes.
// Whether the line is in the list: it was added, or it reached the list from an earlier scan.
bool LabelHandover::sendLine(const std::string& line) {
    bool added = false;
    try {
        const cnc::LineOutcome outcome = m_context.workList.ConnectListManager(line);
        added = outcome == cnc::LineOutcome::Added || outcome == cnc::LineOutcome::ReachedAfterAll;
    } catch (const platform::StationError& error) {
        if (m_context.watch != nullptr) {
            m_context.watch->handedOver(line, m_state, false, config::UnexpectedErrorMessage(error));
        }
        throw;
    }
    if (m_context.watch != nullptr) {
        m_context.watch->handedOver(line, m_state, added, added ? std::string() : m_context.view.status());
    }
    return added;
}

void LabelHandover::chooseField(const Dimensions& dimensions) {
    // The blank a reset leaves names no field, as the empty field code at start-up does: the same
    // scan gets the same field whatever came before it.
    if (platform::trimBlanks(m_state.FieldCode).empty()) {
        m_state.FieldCode.clear();
    }
    const char first = m_state.FieldCode.empty() ? 'P' : m_state.FieldCode.front();
    switch (first) {
    case '&':
        chooseAutomatically(mode::kAlternating, dimensions);
        break;
    case 'P':
        chooseAutomatically(mode::kNormal, dimensions);
        break;
    case 'W':
        chooseAutomatically(mode::kMirrored, dimensions);
        break;
    case 'N':
    case 'S':
    case 'A':
    case 'T':
    case 'R':
    case 'M':
        m_context.fieldSelector.SelectMachineField(mode::kExplicitField, 0, 0, m_state.FieldCode);
        break;
    default: // an explicit code the selection does not know
        break;
    }
}

void LabelHandover::chooseAutomatically(std::int16_t mode, const Dimensions& dimensions) {
    m_context.view.setFieldSelectionIndicator(true);
    m_state.FieldCode = m_context.fieldSelector.SelectMachineField(mode, dimensions.x, dimensions.y, m_state.FieldCode);
}

void LabelHandover::settle(bool handedOver) {
    if (handedOver) {
        platform::pauseSeconds(m_context.pauser, config::kLabelPauseSeconds);
        config::ShowReady(m_context.view, m_context.pauser);
    }
    platform::hidePartIndicators(m_context.view);
    if (handedOver) {
        m_state.LastProgramName = platform::trimBlanks(m_state.ProgramName);
        m_state.LastProgramComment = platform::trimBlanks(m_state.ProgramComment);
        if (m_context.view.option(platform::Option::ShowEditor) && m_launchEditor) {
            m_launchEditor(m_state.ProgramName);
        }
    }
    // A label that failed half-way must not hand its field to the next one.
    m_state.FieldPreset = false;
    ResetLabelState(m_state);
    m_context.view.setFieldSelectionIndicator(false);
}

} // namespace quorlan::scan
