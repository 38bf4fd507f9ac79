// The trigger editor's layout display: where the trigger characters stand in a row of question
// marks as wide as the tested text is taken to be, and the position read-outs.
#pragma once

#include "fieldsel/field_selection_settings.h"

#include <optional>
#include <string>

namespace quorlan::fieldsel {

struct TriggerDisplay {
    std::string row;       // the layout width less one characters
    std::string fromLeft;  // "12 From Left"
    std::string fromRight; // "1 From Right"
    bool showFromLeft = true;
};

struct TriggerLayout {
    // False with the source "Barcode": the editor is greyed and keeps whatever it shows.
    bool enabled = false;
    int largestPosition = 1; // the position control runs from 1 to this
    // None when the position lies beyond the row (an empty trigger at the last position): the
    // display and the read-outs keep what they showed.
    std::optional<TriggerDisplay> display;
};

// Lays out the editor's trigger. The editor's position is kept within the position range, as
// the position control keeps its value within its own.
TriggerLayout PlaceText(FieldSelectionSettings& settings);

} // namespace quorlan::fieldsel
