// Exclusion insertion: the exclusion numbers 1 to 8 the operator chose, kept for the run, stored
// under the key "Exclusion" for the control's side and shown on the main window. No list line
// carries them.
#pragma once

#include "platform/profile.h"
#include "platform/view.h"

#include <array>
#include <optional>
#include <string>

namespace quorlan::scan {

inline constexpr int kExclusionCount = 8;
// Box n (1 to 8) at index n - 1.
using ExclusionBoxes = std::array<bool, kExclusionCount>;

// "1" for each checked box, "0" for each other: boxes 1 and 3 give "10100000".
std::string ExclusionValue(const ExclusionBoxes& boxes);
// " Exclusion Number 13  for insertion." for "10100000"; nothing (ExLab hidden) without a "1".
std::optional<std::string> ExclusionCaption(const std::string& value);

// ExclusionSelection: empty at start-up (the stored key is not read back), then the value of the
// last OK.
class ExclusionSelection final {
public:
    // The boxes ExInsForm opens with.
    ExclusionBoxes boxes() const;
    // ExInsForm's OK: the key is written, the selection kept and ExLab shown or hidden.
    void choose(const ExclusionBoxes& boxes, platform::ProfileSection& settingsFile, platform::StationView& view);
    const std::string& value() const { return m_value; }

private:
    std::string m_value;
};

} // namespace quorlan::scan
