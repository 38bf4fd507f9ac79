// Where labels go on paper, in printer dots: A4 sheets with a grid of labels, or one label per
// page for a label printer; and where a symbol sits in its label, at a whole number of dots per
// module so that every module prints (and decodes) alike.
#pragma once

#include "symbols/encoder.h"

#include <optional>
#include <stdexcept>

namespace quorlan::label_tool {

struct SizeMm {
    double width = 0;
    double height = 0;
};

inline constexpr SizeMm kA4{210, 297};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class Layout {
public:
    // sheet: labels of cell size in a grid on A4; otherwise one label of cell size per page.
    Layout(SizeMm cell, bool sheet, int dpi);

    int dpi() const { return m_dpi; }
    int pageWidth() const { return m_pageWidth; }
    int pageHeight() const { return m_pageHeight; }
    int labelsPerPage() const { return m_columns * m_rows; }
    int pagesFor(std::size_t labels) const;
    // The cell of the n-th label on its page.
    Rect cell(std::size_t n) const;
    Rect cellSize() const { return {0, 0, m_cellWidth, m_cellHeight}; }

    int dots(double mm) const;
    double millimetres(int dots) const;

private:
    int m_dpi;
    int m_pageWidth;
    int m_pageHeight;
    int m_cellWidth;
    int m_cellHeight;
    int m_columns = 1;
    int m_rows = 1;
    int m_marginX = 0;
    int m_marginY = 0;
};

class LayoutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A symbol's place in a label: the whole symbol with its quiet zone, and the size of a module.
struct Placement {
    Rect symbol; // quiet zone included
    int moduleDots = 0;
    int barHeight = 0; // of a linear symbol, in dots
    Rect text;         // the human-readable lines under the symbol
};

// The largest whole number of dots per module that fits the symbol above textHeight dots of text
// in the cell. Throws LayoutError naming the label size and what the symbol needs.
Placement placeSymbol(const symbols::Symbol& symbol, const Layout& layout, int textHeight);

} // namespace quorlan::label_tool
