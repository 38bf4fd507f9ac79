// Symbols encoded by libzint, as a grid of modules that a painter draws at any size. Bytes go in
// unchanged (no character set conversion, no ECI), so a decoder gives back the same bytes.
#pragma once

#include "symbology.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorlan::symbols {

// The largest structured-append sequence the 2D symbologies and the scanners' merge agree on.
inline constexpr int kMaxSequenceLength = 16;

struct SequencePosition {
    int index = 0; // 1-based
    int count = 0; // 0: not part of a sequence
};

struct Symbol {
    Symbology symbology = Symbology::Code128;
    std::string bytes;         // what the symbol carries
    SequencePosition sequence; // where it stands in a structured-append sequence
    int width = 0;             // modules
    // Height of each row in modules; a linear symbol has one row whose height the painter chooses.
    std::vector<int> rowHeights;
    std::vector<bool> dark; // row by row, width modules each

    bool isDark(int row, int column) const { return dark[static_cast<std::size_t>(row * width + column)]; }
    bool isLinear() const { return symbology == Symbology::Code128; }
    int heightInModules() const;
    // Light modules the symbology needs on every side.
    int quietZone() const;
};

class SymbolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Too many bytes for one symbol, or for a whole sequence.
class SymbolTooLarge : public SymbolError {
public:
    using SymbolError::SymbolError;
};

class Encoder {
public:
    // One symbol. Throws SymbolTooLarge when the bytes do not fit, SymbolError for anything else
    // the library refuses.
    static Symbol encode(Symbology symbology, std::string_view bytes, SequencePosition sequence = {});

    // Whether a symbol can be shown where it is to go.
    using Fits = std::function<bool(const Symbol&)>;

    // One symbol, or a structured-append sequence of the fewest symbols that hold the bytes, up to
    // kMaxSequenceLength; Code 128 has no sequences. A 2D symbol must also fit, when fits is given:
    // a label too small for one symbol gets several smaller ones. Throws SymbolTooLarge naming the
    // size and the limit.
    static std::vector<Symbol> encodeSplit(Symbology symbology, std::string_view bytes, const Fits& fits = {});
};

} // namespace quorlan::symbols
