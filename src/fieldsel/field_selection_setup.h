// What the field-selection setup dialog does, without its window: it edits the live settings
// that scan-time selection reads, stores the trigger editor whenever the source or mode changes,
// writes the file on OK and puts back what was shown at opening on Cancel.
#pragma once

#include "fieldsel/auto_field_selection.h"
#include "fieldsel/setup_pages.h"
#include "fieldsel/trigger_layout.h"

#include <functional>
#include <optional>
#include <string>

namespace quorlan::fieldsel {

class FieldSelectionSetup final {
public:
    // The last program name and comment belong to label processing and outlive this object.
    FieldSelectionSetup(AutoFieldSelection& selection, const std::string& lastProgramName,
                        const std::string& lastProgramComment);
    FieldSelectionSetup(const FieldSelectionSetup&) = delete;
    FieldSelectionSetup& operator=(const FieldSelectionSetup&) = delete;

    // The live settings, read from the file on first use.
    FieldSelectionSettings& settings() { return m_selection.settings(); }
    // Runs once, right after the settings were first read; the window layer creates the hidden
    // dialog there, so it exists from the first use on, be it the menu or a scan.
    void setFirstUseHook(std::function<void()> hook) { m_selection.setFirstUseHook(std::move(hook)); }

    // The dialog is shown: remember its values for Cancel.
    void open();
    // OK: Save, which stores the trigger editor first.
    void confirm();
    // Cancel: back to the values shown at opening, so that what scans use is what the file holds.
    void cancel();

    // A source or mode option was chosen, by mouse or keyboard: the editor goes into the trigger
    // being left, then shows the trigger now active.
    void selectSource(MirrorSource source);
    void selectMode(MatchMode mode);
    TriggerLayout placeText() { return PlaceText(settings()); }

    // Set All (true) and Clear All (false); nothing on a tab without slot check boxes.
    void setAllOnTab(SetupTab tab, bool enabled);

    // A double-click on the layout display: the text of the last label that the source tests,
    // to compare the trigger with. None with the source "Barcode".
    std::optional<std::string> comparisonText();

private:
    AutoFieldSelection& m_selection;
    const std::string& m_lastProgramName;
    const std::string& m_lastProgramComment;
    std::optional<FieldSelectionSettings> m_shownAtOpening;
};

} // namespace quorlan::fieldsel
