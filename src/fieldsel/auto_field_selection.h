// Scan-time field selection: the mirror trigger test and the choice of a slot of the machine
// table, with the small state that alternates parts between halves and between normal and mirrored.
#pragma once

#include "fieldsel/field_selection_settings.h"
#include "fieldsel/field_selector.h"
#include "platform/profile.h"

#include <functional>
#include <optional>

namespace quorlan::fieldsel {

class AutoFieldSelection final : public FieldSelector {
public:
    // The settings are read from the section when they are first needed, and only then.
    explicit AutoFieldSelection(platform::ProfileSection& section);
    AutoFieldSelection(const AutoFieldSelection&) = delete;
    AutoFieldSelection& operator=(const AutoFieldSelection&) = delete;

    // The live settings: what the setup dialog edits is what the next scan uses.
    FieldSelectionSettings& settings();
    void save();

    // Runs once, right after the settings were first read, whoever asked for them first (the
    // setup dialog or a scan); at once when they have been read already.
    void setFirstUseHook(std::function<void()> hook);

    std::string defaultField() override;
    MirrorSource mirrorSource() override;
    bool DetectMirrorTrigger(const std::string& programName, const std::string& programComment,
                             std::string& fieldCode) override;
    std::string SelectMachineField(std::int16_t mode, float dimX, float dimY, const std::string& fieldCode) override;

private:
    bool triggerMatches(const std::string& text);
    void recordExplicitField(std::int16_t mode, const std::string& fieldCode);
    std::string chooseField(std::int16_t mode, float dimX, float dimY);

    platform::ProfileSection& m_section;
    std::optional<FieldSelectionSettings> m_settings;
    std::function<void()> m_firstUse;
    bool m_preferRightHalf = false;
    bool m_nextMirror = false;
    bool m_useStoredMirror = false;
};

} // namespace quorlan::fieldsel
