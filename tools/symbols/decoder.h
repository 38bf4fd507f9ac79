// Reading symbols back from images with ZXing-cpp, and merging structured-append sequences as 2D
// imagers do.
#pragma once

#include "symbology.h"

#include <QImage>
#include <string>
#include <vector>

namespace quorlan::symbols {

struct Decoded {
    Symbology symbology = Symbology::Code128;
    std::string bytes;      // as the symbol carries them, with no character set conversion
    int sequenceIndex = -1; // 0-based; -1 when the symbol stands alone
    int sequenceSize = -1;
    std::string sequenceId;
    int top = 0; // the symbol's place in the image, to read a page in order
    int left = 0;

    bool inSequence() const { return sequenceSize > 1 && sequenceIndex >= 0; }
};

// Every symbol of the four symbologies found in the image, top to bottom and left to right.
// pure: the image is one symbol and its quiet zone, which is read much faster.
std::vector<Decoded> decodeImage(const QImage& image, bool pure = false);

struct Merged {
    std::vector<std::string> payloads;   // each standalone symbol, and each whole sequence in place of its first part
    std::vector<std::string> incomplete; // for the operator: which sequence misses which parts
};

// Joins the parts of each structured-append sequence in their order.
Merged mergeSequences(const std::vector<Decoded>& symbols);

} // namespace quorlan::symbols
