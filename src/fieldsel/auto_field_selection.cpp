#include "fieldsel/auto_field_selection.h"

#include "platform/text.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>
#include <utility>

namespace quorlan::fieldsel {

namespace {

using CandidateList = std::array<std::string_view, 9>;

// Indexed by mirrored * 2 + preferRightHalf.
constexpr std::array<CandidateList, 4> kCandidates = {{
    {"FFS", "BFS", "SFS", "FFT", "BFT", "SFT", "FFN", "BFN", "SFN"},
    {"FFT", "BFT", "SFT", "FFS", "BFS", "FFN", "BFN", "SFS", "SFN"},
    {"FFA", "BFA", "SFA", "FFR", "BFR", "SFR", "FFM", "BFM", "SFM"},
    {"FFR", "BFR", "SFR", "FFA", "BFA", "SFA", "FFM", "BFM", "SFM"},
}};

// Below these a part is taken to be measured in inches, and the millimetre limits are converted.
constexpr float kMetricMinY = 60.0F;
constexpr float kMetricMinX = 140.0F;
constexpr double kInchesPerMillimetre = 0.03937;

// The Y limit is rounded to single precision; the X limit keeps its full precision, so a part
// just below a limit such as 39.37 inches still fits the half.
double halfLimitX(double unitFactor, const std::string& text) {
    return unitFactor * platform::numericValue(text);
}

float halfLimitY(double unitFactor, const std::string& text) {
    constexpr double kLargest = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(halfLimitX(unitFactor, text), -kLargest, kLargest));
}

// Halves of the length need the X limit, rows of the depth the Y limit, quarters both.
bool usable(const FieldSlot& slot, bool fitsHalfX, bool fitsHalfY) {
    if (!hasEnabledFlag(slot.code)) {
        return true;
    }
    const bool halfOfLength = slot.code[2] != 'N' && slot.code[2] != 'M';
    const bool row = slot.code[0] != 'S';
    return slot.enabled == 1 && (fitsHalfX || !halfOfLength) && (fitsHalfY || !row);
}

} // namespace

AutoFieldSelection::AutoFieldSelection(platform::ProfileSection& section) : m_section(section) {}

FieldSelectionSettings& AutoFieldSelection::settings() {
    if (!m_settings) {
        FieldSelectionSettings loaded;
        loaded.load(m_section);
        m_settings = std::move(loaded);
        if (m_firstUse) {
            std::exchange(m_firstUse, {})();
        }
    }
    return *m_settings;
}

void AutoFieldSelection::setFirstUseHook(std::function<void()> hook) {
    if (m_settings) {
        if (hook) {
            hook();
        }
        return;
    }
    m_firstUse = std::move(hook);
}

void AutoFieldSelection::save() {
    settings().save(m_section);
}

std::string AutoFieldSelection::defaultField() {
    return settings().slot("DFN").fieldCode;
}

MirrorSource AutoFieldSelection::mirrorSource() {
    return settings().mirrorSource;
}

bool AutoFieldSelection::DetectMirrorTrigger(const std::string& programName, const std::string& programComment,
                                             std::string& fieldCode) {
    const MirrorSource source = mirrorSource();
    if (source == MirrorSource::Barcode) {
        return false;
    }
    const std::string text =
        platform::toUpper(platform::trimBlanks(source == MirrorSource::Comment ? programComment : programName));
    const std::size_t length = settings().editor.characters.size();
    if (length == 0 || length > text.size()) {
        return false;
    }
    const bool matched = triggerMatches(text);
    fieldCode = matched ? "W" : "P";
    return matched && settings().selectedMode == MatchMode::NormAndMirror;
}

bool AutoFieldSelection::triggerMatches(const std::string& text) {
    const TriggerSpec& trigger = settings().editor;
    const std::string wanted = platform::toUpper(trigger.characters);
    if (wanted.front() == '*') {
        return true;
    }
    const int length = static_cast<int>(text.size());
    const int count = static_cast<int>(wanted.size());
    int start = trigger.position;
    if (trigger.fromLeft == 0) {
        // Aligned as the layout shows it: the trigger's last character stands the "From Right"
        // number of characters from the end of the text.
        const int fromRight = settings().largestPosition() + 1 - trigger.position;
        start = length - fromRight - count + 2;
    }
    return start >= 1 && start + count - 1 <= length &&
           text.compare(static_cast<std::size_t>(start - 1), wanted.size(), wanted) == 0;
}

std::string AutoFieldSelection::SelectMachineField(std::int16_t mode, float dimX, float dimY,
                                                   const std::string& fieldCode) {
    if (mode == mode::kFieldCodeLabel || mode == mode::kExplicitField) {
        recordExplicitField(mode, fieldCode);
        return {};
    }
    return chooseField(mode, dimX, dimY);
}

void AutoFieldSelection::recordExplicitField(std::int16_t mode, const std::string& fieldCode) {
    if (mode == mode::kFieldCodeLabel) {
        m_useStoredMirror = true;
    }
    switch (fieldCode.empty() ? '\0' : fieldCode.front()) {
    case 'S':
    case 'N':
        m_preferRightHalf = false;
        m_nextMirror = false;
        break;
    case 'A':
        m_preferRightHalf = false;
        m_nextMirror = true;
        break;
    case 'T':
        m_preferRightHalf = true;
        m_nextMirror = false;
        break;
    case 'R':
    case 'M':
        m_preferRightHalf = true;
        m_nextMirror = true;
        break;
    default:
        break;
    }
}

std::string AutoFieldSelection::chooseField(std::int16_t mode, float dimX, float dimY) {
    bool mirror = mode != mode::kNormal;
    if (mode == mode::kAlternating || m_useStoredMirror) {
        mirror = m_nextMirror;
        m_useStoredMirror = false;
    }
    const FieldSelectionSettings& current = settings();
    const double unitFactor = dimY >= kMetricMinY || dimX >= kMetricMinX ? 1.0 : kInchesPerMillimetre;
    const bool fitsHalfX = dimX < halfLimitX(unitFactor, current.halfLimitX);
    const bool fitsHalfY = dimY < halfLimitY(unitFactor, current.halfLimitY);

    const CandidateList& candidates = kCandidates[(mirror ? 2U : 0U) + (m_preferRightHalf ? 1U : 0U)];
    // The full-length slot that ends every list is always usable, so the search never runs off the end.
    const auto chosen = std::find_if(candidates.begin(), candidates.end(), [&](std::string_view code) {
        return usable(current.slot(code), fitsHalfX, fitsHalfY);
    });
    m_nextMirror = !mirror;
    m_preferRightHalf = !m_preferRightHalf;
    return current.slot(*chosen).fieldCode;
}

} // namespace quorlan::fieldsel
