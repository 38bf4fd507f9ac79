// The pages of the field-selection setup and where on the machine table each slot sits: which
// row, which part of the length, which end. The drawings place every slot's box by this.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace quorlan::fieldsel {

// In the order of the tabs.
enum class SetupTab { AutoFieldSelect, StandardFields, FrontAndBack, FieldLimits };
inline constexpr int kSetupTabCount = 4;

enum class TableRow { WholeDepth, Back, Front };
enum class TablePart { FullLength, LeftHalf, RightHalf };
// A part placed at the left end of its field runs normal, at the right end mirrored.
enum class FieldEnd { Left, Right };

struct SlotPlace {
    TableRow row;
    TablePart part;
    FieldEnd end;

    bool operator==(const SlotPlace&) const = default;
};

// Read from the slot code's letters; none for DFN and for codes that name no slot of the table.
std::optional<SlotPlace> placeOf(std::string_view slotCode);

// The slots whose check boxes Set All and Clear All act on: those of the tab's drawings. Empty on
// the tabs that have none, where the two buttons are not shown.
std::span<const std::string_view> switchableSlots(SetupTab tab);

} // namespace quorlan::fieldsel
