#include "verify.h"

#include "symbols/decoder.h"

#include <QImage>

namespace quorlan::label_tool {

void verifyLabel(const LabelPainter& painter, const PrintLabel& label, const Placement& placement) {
    const QImage image = painter.render(label, placement);
    const Rect& at = placement.symbol;
    const auto read = symbols::decodeImage(image.copy(at.x, at.y, at.width, at.height), true);
    if (read.size() != 1) {
        throw VerifyError("the decoder found " + std::to_string(read.size()) + " symbols where one was printed");
    }
    const symbols::Decoded& symbol = read.front();
    if (symbol.bytes != label.symbol.bytes) {
        throw VerifyError("the decoder read " + std::to_string(symbol.bytes.size()) + " bytes that differ from the " +
                          std::to_string(label.symbol.bytes.size()) + " printed");
    }
    const auto& sequence = label.symbol.sequence;
    const bool inSequence = sequence.count > 1;
    if (symbol.inSequence() != inSequence ||
        (inSequence && (symbol.sequenceIndex + 1 != sequence.index || symbol.sequenceSize != sequence.count))) {
        throw VerifyError("the decoder read the symbol's place in its sequence wrongly");
    }
}

} // namespace quorlan::label_tool
