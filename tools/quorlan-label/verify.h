// A label is only printed when its symbol, read back from the rendered image by a real decoder,
// gives exactly the bytes it should: a symbol the station would misread is worse than none.
#pragma once

#include "label_painter.h"

#include <stdexcept>

namespace quorlan::label_tool {

class VerifyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws VerifyError saying what was read instead.
void verifyLabel(const LabelPainter& painter, const PrintLabel& label, const Placement& placement);

} // namespace quorlan::label_tool
