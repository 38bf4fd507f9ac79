#include "fieldsel/field_selection_settings.h"

#include "platform/text.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace quorlan::fieldsel {

namespace {

constexpr std::array<std::string_view, kSlotCount> kSlotCodes = {
    "SFN", "SFM", "SFS", "SFA", "SFT", "SFR", "BFN", "BFM", "FFN", "FFM",
    "BFS", "BFA", "BFT", "BFR", "FFS", "FFA", "FFT", "FFR", "DFN",
};
constexpr std::array<std::string_view, 4> kTriggerKeys = {"PNameMirror", "PNameNandM", "CommentMirror", "CommentNandM"};

constexpr const char* kMissing = "END.-";
constexpr std::size_t kReadBufferSize = 80;

std::size_t slotIndex(std::string_view code) {
    const auto it = std::find(kSlotCodes.begin(), kSlotCodes.end(), code);
    if (it == kSlotCodes.end()) {
        throw std::out_of_range("no field slot " + std::string(code));
    }
    return static_cast<std::size_t>(it - kSlotCodes.begin());
}

std::string key(std::string_view prefix, std::string_view suffix) {
    return std::string(prefix).append(suffix);
}

// The flag, LR, CPos and MSel keys hold 16-bit numbers. A value edited by hand beyond that range
// is clamped to its nearest end rather than wrapped, so "99999" reads as 32767, never as a negative.
std::int16_t readNumber(platform::ProfileSection& section, const std::string& name) {
    const double value = std::clamp(platform::numericValue(ReadSetting(section, name)), -32768.0, 32767.0);
    return static_cast<std::int16_t>(std::nearbyint(value));
}

// Flags, modes and alignments are Booleans: any nonzero value counts as set, so a file edited by
// hand still loads into values that a check box or option can show and Save writes back.
bool readSwitch(platform::ProfileSection& section, const std::string& name) {
    return readNumber(section, name) != 0;
}

MatchMode readMode(platform::ProfileSection& section, const std::string& name) {
    return readSwitch(section, name) ? MatchMode::Mirror : MatchMode::NormAndMirror;
}

std::string decimal(int value) {
    return std::to_string(value);
}

} // namespace

bool hasEnabledFlag(std::string_view slotCode) {
    return slotCode != "SFN" && slotCode != "SFM" && slotCode != "DFN";
}

std::string ReadSetting(platform::ProfileSection& section, const std::string& name) {
    std::string value = section.getString(name, kMissing, kReadBufferSize);
    value.resize(std::min(value.size(), value.find('\0')));
    return value == kMissing ? std::string() : value;
}

FieldSelectionSettings::FieldSelectionSettings() {
    for (std::size_t i = 0; i < kSlotCount; ++i) {
        fieldSlots[i].code = kSlotCodes[i];
    }
}

FieldSlot& FieldSelectionSettings::slot(std::string_view code) {
    return fieldSlots[slotIndex(code)];
}

const FieldSlot& FieldSelectionSettings::slot(std::string_view code) const {
    return fieldSlots[slotIndex(code)];
}

TriggerSpec* FieldSelectionSettings::activeTrigger() {
    if (mirrorSource == MirrorSource::Barcode) {
        return nullptr;
    }
    const std::size_t sourceOffset = mirrorSource == MirrorSource::Comment ? 2 : 0;
    return &triggers[sourceOffset + (selectedMode == MatchMode::Mirror ? 0 : 1)];
}

int FieldSelectionSettings::layoutWidth() const {
    return mirrorSource == MirrorSource::Comment ? kCommentLayoutWidth : kNameLayoutWidth;
}

int FieldSelectionSettings::largestPosition() const {
    return largestPosition(editor.characters.size());
}

int FieldSelectionSettings::largestPosition(std::size_t triggerLength) const {
    const auto width = static_cast<std::size_t>(layoutWidth());
    return triggerLength < width ? static_cast<int>(width - triggerLength) : 1;
}

void FieldSelectionSettings::GetAutoSel() {
    TriggerSpec* active = activeTrigger();
    if (active == nullptr) {
        return;
    }
    *active = editor;
    (mirrorSource == MirrorSource::Comment ? commentMode : programNameMode) = selectedMode;
}

void FieldSelectionSettings::SetAutoSel() {
    TriggerSpec* active = activeTrigger();
    if (active == nullptr) {
        return;
    }
    active->position =
        static_cast<std::int16_t>(std::clamp<int>(active->position, 1, largestPosition(active->characters.size())));
    editor = *active;
}

void FieldSelectionSettings::load(platform::ProfileSection& section) {
    for (FieldSlot& s : fieldSlots) {
        s.fieldCode = ReadSetting(section, key("FieldCode_", s.code));
        const bool flag = readSwitch(section, key("FieldFlag_", s.code));
        if (hasEnabledFlag(s.code)) {
            s.enabled = flag ? 1 : 0;
        }
    }
    halfLimitX = ReadSetting(section, "HalfLimitX");
    halfLimitY = ReadSetting(section, "HalfLimitY");
    programNameMode = readMode(section, "PNameMSel");
    commentMode = readMode(section, "CommentMSel");
    switch (readNumber(section, "AutoSelSetting")) {
    case 1:
        mirrorSource = MirrorSource::ProgramName;
        selectedMode = programNameMode;
        break;
    case 2:
        mirrorSource = MirrorSource::Comment;
        selectedMode = commentMode;
        break;
    case 3:
        mirrorSource = MirrorSource::Barcode;
        break;
    default:
        break;
    }
    for (std::size_t i = 0; i < triggers.size(); ++i) {
        triggers[i].fromLeft = readSwitch(section, key(kTriggerKeys[i], "LR")) ? -1 : 0;
        triggers[i].position = readNumber(section, key(kTriggerKeys[i], "CPos"));
        triggers[i].characters = ReadSetting(section, key(kTriggerKeys[i], "Text"));
    }
    SetAutoSel();
}

void FieldSelectionSettings::save(platform::ProfileSection& section) {
    for (const FieldSlot& s : fieldSlots) {
        section.writeString(key("FieldCode_", s.code), platform::toUpper(s.fieldCode));
        section.writeString(key("FieldFlag_", s.code), !hasEnabledFlag(s.code) || s.enabled != 0 ? "1" : "0");
    }
    section.writeString("HalfLimitX", halfLimitX);
    section.writeString("HalfLimitY", halfLimitY);
    GetAutoSel();
    section.writeString("AutoSelSetting", decimal(static_cast<int>(mirrorSource)));
    for (std::size_t i = 0; i < triggers.size(); ++i) {
        section.writeString(key(kTriggerKeys[i], "LR"), decimal(triggers[i].fromLeft));
        section.writeString(key(kTriggerKeys[i], "CPos"), decimal(triggers[i].position));
        section.writeString(key(kTriggerKeys[i], "Text"), triggers[i].characters);
    }
    section.writeString("PNameMSel", decimal(static_cast<int>(programNameMode)));
    section.writeString("CommentMSel", decimal(static_cast<int>(commentMode)));
}

} // namespace quorlan::fieldsel
