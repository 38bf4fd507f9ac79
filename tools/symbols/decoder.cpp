#include "decoder.h"

#include <ZXing/ReadBarcode.h>
#include <algorithm>
#include <map>
#include <tuple>

namespace quorlan::symbols {

namespace {

Symbology symbologyOf(ZXing::BarcodeFormat format) {
    switch (format) {
    case ZXing::BarcodeFormat::QRCode:
        return Symbology::QRCode;
    case ZXing::BarcodeFormat::DataMatrix:
        return Symbology::DataMatrix;
    case ZXing::BarcodeFormat::PDF417:
        return Symbology::PDF417;
    default:
        return Symbology::Code128;
    }
}

// Rows of a page: symbols whose tops lie within this many pixels read as one row.
constexpr int kSameRow = 40;
constexpr std::size_t kMostSymbols = 1000;
constexpr int kMargin = 4; // pixels around a found symbol that are whited out with it
constexpr uchar kDark = 128;
constexpr int kWindow = 1400; // pixels: a 2D label at 300 dpi, with room around it

bool readingOrder(const Decoded& a, const Decoded& b) {
    if (std::abs(a.top - b.top) > kSameRow) {
        return a.top < b.top;
    }
    return a.left < b.left;
}

bool darkIn(const QImage& gray, int y, int left, int right) {
    const uchar* line = gray.constScanLine(y);
    for (int x = left; x <= right; ++x) {
        if (line[x] < kDark) {
            return true;
        }
    }
    return false;
}

// Where a found symbol is: its corners, and for a linear symbol, found on a few lines only, the
// bars above and below them.
QRect symbolArea(const QImage& gray, const ZXing::Position& position, QPoint origin) {
    int left = gray.width();
    int right = 0;
    int top = gray.height();
    int bottom = 0;
    for (const auto& corner : position) {
        left = std::min(left, corner.x + origin.x());
        right = std::max(right, corner.x + origin.x());
        top = std::min(top, corner.y + origin.y());
        bottom = std::max(bottom, corner.y + origin.y());
    }
    const QRect bounds(0, 0, gray.width(), gray.height());
    QRect area =
        QRect(QPoint(left, top), QPoint(right, bottom)).adjusted(-kMargin, -kMargin, kMargin, kMargin) & bounds;
    while (area.top() > 0 && darkIn(gray, area.top() - 1, area.left(), area.right())) {
        area.setTop(area.top() - 1);
    }
    while (area.bottom() < gray.height() - 1 && darkIn(gray, area.bottom() + 1, area.left(), area.right())) {
        area.setBottom(area.bottom() + 1);
    }
    return area;
}

void whiteOut(QImage& gray, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        std::fill_n(gray.scanLine(y) + area.left(), area.width(), uchar{255});
    }
}

// Reads the symbols in one region of the page, whiting out each found one; adds what it reads.
void readRegion(QImage& gray, const QRect& region, bool pure, std::vector<Decoded>& found) {
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::Code128 | ZXing::BarcodeFormat::QRCode | ZXing::BarcodeFormat::DataMatrix |
                     ZXing::BarcodeFormat::PDF417);
    hints.setIsPure(pure);
    hints.setTryHarder(!pure);
    hints.setTryRotate(!pure);
    // The library's own search for several symbols trips over linear symbols found on many lines,
    // so the page is read one symbol at a time, each found symbol whited out before the next read.
    hints.setMaxNumberOfSymbols(1);
    while (found.size() < kMostSymbols) {
        const ZXing::ImageView view(gray.constBits() + region.top() * gray.bytesPerLine() + region.left(),
                                    region.width(), region.height(), ZXing::ImageFormat::Lum,
                                    static_cast<int>(gray.bytesPerLine()));
        const ZXing::Results results = ZXing::ReadBarcodes(view, hints);
        if (results.empty() || !results.front().isValid()) {
            return;
        }
        const ZXing::Result& result = results.front();
        const auto& bytes = result.bytes();
        const QRect area = symbolArea(gray, result.position(), region.topLeft());
        found.push_back({symbologyOf(result.format()), std::string(bytes.begin(), bytes.end()), result.sequenceIndex(),
                         result.sequenceSize(), result.sequenceId(), area.top(), area.left()});
        if (pure) {
            return;
        }
        whiteOut(gray, area);
    }
}

} // namespace

std::vector<Decoded> decodeImage(const QImage& image, bool pure) {
    QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    std::vector<Decoded> found;
    readRegion(gray, gray.rect(), pure, found);
    if (!pure) {
        // The DataMatrix search misses symbols that are small in a large page: look again in
        // overlapping windows of about a label's size.
        const int step = kWindow / 2;
        for (int y = 0; y + step < gray.height() || y == 0; y += step) {
            for (int x = 0; x + step < gray.width() || x == 0; x += step) {
                readRegion(gray, QRect(x, y, kWindow, kWindow) & gray.rect(), false, found);
            }
        }
    }
    std::stable_sort(found.begin(), found.end(), readingOrder);
    return found;
}

Merged mergeSequences(const std::vector<Decoded>& symbols) {
    using Key = std::tuple<Symbology, std::string, int>;
    std::map<Key, std::map<int, std::string>> sequences;
    std::vector<std::pair<Key, std::size_t>> firstPlace; // where each sequence goes among the payloads
    Merged merged;
    for (const Decoded& symbol : symbols) {
        if (!symbol.inSequence()) {
            merged.payloads.push_back(symbol.bytes);
            continue;
        }
        const Key key{symbol.symbology, symbol.sequenceId, symbol.sequenceSize};
        if (!sequences.contains(key)) {
            firstPlace.emplace_back(key, merged.payloads.size());
            merged.payloads.emplace_back();
        }
        sequences[key][symbol.sequenceIndex] = symbol.bytes;
    }
    std::vector<std::size_t> unfinished;
    for (const auto& [key, place] : firstPlace) {
        const auto& parts = sequences[key];
        const int size = std::get<2>(key);
        std::string missing;
        for (int index = 0; index < size; ++index) {
            const auto part = parts.find(index);
            if (part == parts.end()) {
                missing += (missing.empty() ? "" : ", ") + std::to_string(index + 1) + "/" + std::to_string(size);
            } else {
                merged.payloads[place] += part->second;
            }
        }
        if (!missing.empty()) {
            merged.incomplete.push_back(std::string(nameOf(std::get<0>(key))) + " sequence of " + std::to_string(size) +
                                        " symbols lacks " + missing);
            unfinished.push_back(place);
        }
    }
    // A sequence with a part missing is not a payload: sending the rest would save half a program.
    for (auto place = unfinished.rbegin(); place != unfinished.rend(); ++place) {
        merged.payloads.erase(merged.payloads.begin() + static_cast<std::ptrdiff_t>(*place));
    }
    return merged;
}

} // namespace quorlan::symbols
