#include "encoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <zint.h>

namespace quorlan::symbols {

namespace {

using ZintSymbol = std::unique_ptr<zint_symbol, decltype(&ZBarcode_Delete)>;

constexpr int kQrEccMedium = 2; // recovers 15%: labels get scuffed on a workshop floor
constexpr int kPdf417RowHeight = 3;

int zintSymbology(Symbology symbology) {
    switch (symbology) {
    case Symbology::Code128:
        return BARCODE_CODE128;
    case Symbology::QRCode:
        return BARCODE_QRCODE;
    case Symbology::DataMatrix:
        return BARCODE_DATAMATRIX;
    case Symbology::PDF417:
        return BARCODE_PDF417;
    }
    return BARCODE_CODE128;
}

// Every symbol of a sequence carries the same identification; the decoders match on it.
void setSequence(zint_symbol& symbol, Symbology symbology, SequencePosition sequence, std::string_view whole) {
    if (sequence.count < 2) {
        return;
    }
    symbol.structapp.index = sequence.index;
    symbol.structapp.count = sequence.count;
    unsigned parity = 0;
    for (const char c : whole) {
        parity ^= static_cast<unsigned char>(c);
    }
    // QR Code identifies a sequence by the parity of all its data; DataMatrix by two numbers of
    // 1 to 254; PDF417 by a file id of digits.
    std::string id = symbology == Symbology::DataMatrix ? "001" + std::to_string(1000 + parity % 254 + 1).substr(1)
                                                        : std::to_string(parity);
    std::strncpy(symbol.structapp.id, id.c_str(), sizeof symbol.structapp.id - 1);
}

Symbol encodeWith(Symbology symbology, std::string_view bytes, SequencePosition sequence, std::string_view whole) {
    ZintSymbol symbol(ZBarcode_Create(), &ZBarcode_Delete);
    if (!symbol) {
        throw SymbolError("the barcode library has no memory left");
    }
    symbol->symbology = zintSymbology(symbology);
    symbol->input_mode = DATA_MODE;
    if (symbology == Symbology::QRCode) {
        symbol->option_1 = kQrEccMedium;
    }
    setSequence(*symbol, symbology, sequence, whole);
    const int status = ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(bytes.data()),
                                       static_cast<int>(bytes.size()));
    if (status == ZINT_ERROR_TOO_LONG) {
        throw SymbolTooLarge(symbol->errtxt);
    }
    if (status >= ZINT_ERROR) {
        throw SymbolError(symbol->errtxt);
    }
    Symbol result;
    result.symbology = symbology;
    result.bytes = std::string(bytes);
    result.sequence = sequence;
    result.width = symbol->width;
    result.dark.resize(static_cast<std::size_t>(symbol->rows * symbol->width));
    for (int row = 0; row < symbol->rows; ++row) {
        result.rowHeights.push_back(symbology == Symbology::PDF417 ? kPdf417RowHeight : 1);
        for (int column = 0; column < symbol->width; ++column) {
            // libzint keeps each row as a bit string, least significant bit first.
            const bool dark = ((symbol->encoded_data[row][column >> 3] >> (column & 7)) & 1) != 0;
            result.dark[static_cast<std::size_t>(row * symbol->width + column)] = dark;
        }
    }
    return result;
}

// A symbol the label cannot show counts as one too large for it.
Symbol encodeFitting(Symbology symbology, std::string_view bytes, SequencePosition sequence, std::string_view whole,
                     const Encoder::Fits& fits) {
    Symbol symbol = encodeWith(symbology, bytes, sequence, whole);
    if (fits && !fits(symbol)) {
        throw SymbolTooLarge("the symbol does not fit the label");
    }
    return symbol;
}

std::vector<Symbol> split(Symbology symbology, std::string_view bytes, int count, const Encoder::Fits& fits) {
    std::vector<Symbol> symbols;
    const auto boundary = [&](int i) {
        return bytes.size() * static_cast<std::size_t>(i) / static_cast<std::size_t>(count);
    };
    for (int i = 0; i < count; ++i) {
        const std::string_view part = bytes.substr(boundary(i), boundary(i + 1) - boundary(i));
        symbols.push_back(encodeFitting(symbology, part, {i + 1, count}, bytes, fits));
    }
    return symbols;
}

// The most bytes one symbol of a full sequence holds, found by halving.
std::size_t symbolCapacity(Symbology symbology, const Encoder::Fits& fits) {
    std::size_t holds = 0;
    std::size_t tooMany = 1 << 14;
    while (tooMany - holds > 1) {
        const std::size_t middle = (holds + tooMany) / 2;
        try {
            encodeFitting(symbology, std::string(middle, 'x'), {1, kMaxSequenceLength}, {}, fits);
            holds = middle;
        } catch (const SymbolTooLarge&) {
            tooMany = middle;
        }
    }
    return holds;
}

} // namespace

int Symbol::heightInModules() const {
    int height = 0;
    for (const int rowHeight : rowHeights) {
        height += rowHeight;
    }
    return height;
}

int Symbol::quietZone() const {
    switch (symbology) {
    case Symbology::Code128:
        return 10;
    case Symbology::QRCode:
        return 4;
    case Symbology::DataMatrix:
    case Symbology::PDF417:
        return 2;
    }
    return 10;
}

Symbol Encoder::encode(Symbology symbology, std::string_view bytes, SequencePosition sequence) {
    return encodeWith(symbology, bytes, sequence, bytes);
}

std::vector<Symbol> Encoder::encodeSplit(Symbology symbology, std::string_view bytes, const Fits& fits) {
    if (symbology == Symbology::Code128) {
        try {
            return {encode(symbology, bytes)};
        } catch (const SymbolTooLarge& tooLarge) {
            throw SymbolTooLarge(std::to_string(bytes.size()) + " bytes are too many for a Code 128 label (" +
                                 tooLarge.what() + ")");
        }
    }
    // Every symbol of a sequence carries at least one byte.
    const int most = static_cast<int>(std::min(bytes.size(), static_cast<std::size_t>(kMaxSequenceLength)));
    for (int count = 1; count <= std::max(1, most); ++count) {
        try {
            return count == 1 ? std::vector<Symbol>{encodeFitting(symbology, bytes, {}, bytes, fits)}
                              : split(symbology, bytes, count, fits);
        } catch (const SymbolTooLarge&) {
        }
    }
    const std::string name(nameOf(symbology));
    const std::size_t capacity = symbolCapacity(symbology, fits);
    if (capacity == 0) {
        throw SymbolTooLarge("no " + name + " symbol fits the label");
    }
    throw SymbolTooLarge(std::to_string(bytes.size()) + " bytes are too many: " + std::to_string(kMaxSequenceLength) +
                         " " + name + " symbols" + (fits ? " that fit the label" : "") + " hold at most " +
                         std::to_string(capacity * kMaxSequenceLength) + " bytes");
}

} // namespace quorlan::symbols
