#include "fieldsel/field_selection_setup.h"

#include <utility>

namespace quorlan::fieldsel {

FieldSelectionSetup::FieldSelectionSetup(AutoFieldSelection& selection, const std::string& lastProgramName,
                                         const std::string& lastProgramComment)
    : m_selection(selection), m_lastProgramName(lastProgramName), m_lastProgramComment(lastProgramComment) {}

void FieldSelectionSetup::open() {
    m_shownAtOpening = settings();
}

void FieldSelectionSetup::confirm() {
    m_selection.save();
    m_shownAtOpening.reset();
}

void FieldSelectionSetup::cancel() {
    if (m_shownAtOpening) {
        settings() = *std::exchange(m_shownAtOpening, std::nullopt);
    }
}

void FieldSelectionSetup::selectSource(MirrorSource source) {
    FieldSelectionSettings& current = settings();
    if (current.mirrorSource == source) {
        return;
    }
    current.GetAutoSel();
    current.mirrorSource = source;
    current.SetAutoSel();
}

void FieldSelectionSetup::selectMode(MatchMode mode) {
    FieldSelectionSettings& current = settings();
    if (current.selectedMode == mode) {
        return;
    }
    current.GetAutoSel();
    current.selectedMode = mode;
    current.SetAutoSel();
}

void FieldSelectionSetup::setAllOnTab(SetupTab tab, bool enabled) {
    for (const std::string_view code : switchableSlots(tab)) {
        settings().slot(code).enabled = enabled ? 1 : 0;
    }
}

std::optional<std::string> FieldSelectionSetup::comparisonText() {
    switch (settings().mirrorSource) {
    case MirrorSource::ProgramName:
        return m_lastProgramName;
    case MirrorSource::Comment:
        return m_lastProgramComment;
    case MirrorSource::Barcode:
        break;
    }
    return std::nullopt;
}

} // namespace quorlan::fieldsel
