#include "fieldsel/trigger_layout.h"

#include <algorithm>

namespace quorlan::fieldsel {

TriggerLayout PlaceText(FieldSelectionSettings& settings) {
    TriggerLayout layout;
    if (settings.mirrorSource == MirrorSource::Barcode) {
        return layout;
    }
    layout.enabled = true;
    layout.largestPosition = settings.largestPosition();
    TriggerSpec& editor = settings.editor;
    editor.position = static_cast<std::int16_t>(std::clamp<int>(editor.position, 1, layout.largestPosition));

    const auto start = static_cast<std::size_t>(editor.position - 1);
    std::string row(static_cast<std::size_t>(settings.layoutWidth() - 1), '?');
    if (row.size() < start + 1) {
        return layout;
    }
    const std::size_t shown = std::min(editor.characters.size(), row.size() - start);
    row.replace(start, shown, editor.characters, 0, shown);
    layout.display = TriggerDisplay{
        row,
        std::to_string(editor.position) + " From Left",
        std::to_string(layout.largestPosition + 1 - editor.position) + " From Right",
        editor.fromLeft != 0,
    };
    return layout;
}

} // namespace quorlan::fieldsel
