#include "scan/exclusion.h"

namespace quorlan::scan {

std::string ExclusionValue(const ExclusionBoxes& boxes) {
    std::string value;
    for (const bool checked : boxes) {
        value += checked ? '1' : '0';
    }
    return value;
}

std::optional<std::string> ExclusionCaption(const std::string& value) {
    std::string numbers;
    for (std::size_t index = 0; index < value.size(); ++index) {
        if (value[index] == '1') {
            numbers += std::to_string(index + 1);
        }
    }
    if (numbers.empty()) {
        return std::nullopt;
    }
    return " Exclusion Number " + numbers + "  for insertion.";
}

ExclusionBoxes ExclusionSelection::boxes() const {
    ExclusionBoxes boxes{};
    for (std::size_t index = 0; index < boxes.size() && index < m_value.size(); ++index) {
        boxes[index] = m_value[index] == '1';
    }
    return boxes;
}

void ExclusionSelection::choose(const ExclusionBoxes& boxes, platform::ProfileSection& settingsFile,
                                platform::StationView& view) {
    const std::string value = ExclusionValue(boxes);
    settingsFile.writeString("Exclusion", value);
    m_value = value;
    view.setExclusionLabel(ExclusionCaption(value));
}

} // namespace quorlan::scan
