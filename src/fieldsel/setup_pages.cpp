#include "fieldsel/setup_pages.h"

#include <array>

namespace quorlan::fieldsel {

namespace {

constexpr std::array<std::string_view, 4> kStandardSwitches = {"SFS", "SFA", "SFT", "SFR"};
constexpr std::array<std::string_view, 12> kFrontAndBackSwitches = {
    "BFN", "FFN", "BFM", "FFM", "BFS", "FFS", "BFA", "FFA", "BFT", "FFT", "BFR", "FFR",
};

std::optional<TableRow> rowOf(char letter) {
    switch (letter) {
    case 'S':
        return TableRow::WholeDepth;
    case 'B':
        return TableRow::Back;
    case 'F':
        return TableRow::Front;
    default:
        return std::nullopt;
    }
}

struct PartAndEnd {
    TablePart part;
    FieldEnd end;
};

std::optional<PartAndEnd> partOf(char letter) {
    switch (letter) {
    case 'N':
        return PartAndEnd{TablePart::FullLength, FieldEnd::Left};
    case 'M':
        return PartAndEnd{TablePart::FullLength, FieldEnd::Right};
    case 'S':
        return PartAndEnd{TablePart::LeftHalf, FieldEnd::Left};
    case 'A':
        return PartAndEnd{TablePart::LeftHalf, FieldEnd::Right};
    case 'T':
        return PartAndEnd{TablePart::RightHalf, FieldEnd::Left};
    case 'R':
        return PartAndEnd{TablePart::RightHalf, FieldEnd::Right};
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<SlotPlace> placeOf(std::string_view slotCode) {
    if (slotCode.size() != 3 || slotCode[1] != 'F') {
        return std::nullopt;
    }
    const auto row = rowOf(slotCode[0]);
    const auto part = partOf(slotCode[2]);
    if (!row || !part) {
        return std::nullopt;
    }
    return SlotPlace{*row, part->part, part->end};
}

std::span<const std::string_view> switchableSlots(SetupTab tab) {
    switch (tab) {
    case SetupTab::StandardFields:
        return kStandardSwitches;
    case SetupTab::FrontAndBack:
        return kFrontAndBackSwitches;
    case SetupTab::AutoFieldSelect:
    case SetupTab::FieldLimits:
        break;
    }
    return {};
}

} // namespace quorlan::fieldsel
