// The field-selection settings: which machine field each slot of the table hands out, the half
// limits, where the mirror decision comes from and the trigger characters that set it off.
#pragma once

#include "fieldsel/field_selector.h"
#include "platform/profile.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorlan::fieldsel {

// One end of one field of the machine table, named by its three-letter slot code.
struct FieldSlot {
    std::string code;
    std::string fieldCode;  // as typed; upper-cased only in the file
    std::int16_t enabled{}; // 0 or 1; SFN, SFM and DFN are always usable

    bool operator==(const FieldSlot&) const = default;
};

struct TriggerSpec {
    std::int16_t fromLeft{}; // -1 counts the position from the left end, 0 from the right end
    std::int16_t position{}; // 1-based start in the trigger layout
    std::string characters;

    bool operator==(const TriggerSpec&) const = default;
};

// The values of the "On Match Produce" choice and of the PNameMSel / CommentMSel keys.
enum class MatchMode : std::int16_t { NormAndMirror = 0, Mirror = 1 };

inline constexpr std::size_t kSlotCount = 19;
inline constexpr int kCommentLayoutWidth = 26;
inline constexpr int kNameLayoutWidth = 13;

bool hasEnabledFlag(std::string_view slotCode);

// One value of the settings file: the empty string when the key is missing or reads "END.-".
std::string ReadSetting(platform::ProfileSection& section, const std::string& key);

struct FieldSelectionSettings {
    FieldSelectionSettings();

    std::array<FieldSlot, kSlotCount> fieldSlots; // in slot order
    std::string halfLimitX;
    std::string halfLimitY;
    MirrorSource mirrorSource = MirrorSource::Barcode;
    MatchMode selectedMode = MatchMode::Mirror; // the option shown, whichever source is selected
    MatchMode programNameMode = MatchMode::NormAndMirror;
    MatchMode commentMode = MatchMode::NormAndMirror;
    // PNameMirror, PNameNandM, CommentMirror, CommentNandM.
    std::array<TriggerSpec, 4> triggers;
    // The trigger editor: what scan-time selection tests, whatever has been stored so far.
    TriggerSpec editor{-1, 1, {}};

    FieldSlot& slot(std::string_view code);
    const FieldSlot& slot(std::string_view code) const;

    // The trigger of the selected source and mode; none with the source "Barcode".
    TriggerSpec* activeTrigger();
    int layoutWidth() const;
    // The trigger editor's positions run from 1 to this: the layout width less the trigger's
    // length. A trigger as wide as the layout, or wider, has nowhere to move and keeps position 1
    // rather than an empty range.
    int largestPosition() const; // for the editor's characters
    int largestPosition(std::size_t triggerLength) const;

    void GetAutoSel(); // editor -> active trigger, and the source's mode
    void SetAutoSel(); // active trigger -> editor

    void load(platform::ProfileSection& section);
    void save(platform::ProfileSection& section);

    bool operator==(const FieldSelectionSettings&) const = default;
};

} // namespace quorlan::fieldsel
