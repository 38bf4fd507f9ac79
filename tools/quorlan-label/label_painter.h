// Draws one label: its symbol at whole dots per module, and the human-readable text under it.
// The same drawing goes to a PDF, PNG or SVG page and to the image each symbol is verified from.
#pragma once

#include "layout.h"
#include "symbols/encoder.h"

#include <QFont>
#include <QString>

class QImage;
class QPaintDevice;
class QPainter;

namespace quorlan::label_tool {

struct PrintLabel {
    symbols::Symbol symbol;
    QString caption; // what the symbol says, or what it is for a 2D symbol
    QString note;    // what the label is for, most important first: "1/3 program", the program, a comment
    int line = 0;    // the job row it comes from; 0 from the command line
};

class LabelPainter {
public:
    explicit LabelPainter(const Layout& layout);

    // Throws LayoutError when the label is too small for the symbol.
    Placement place(const PrintLabel& label) const;
    bool fits(const symbols::Symbol& symbol) const;
    void paint(QPainter& painter, const Rect& cell, const PrintLabel& label, const Placement& placement) const;
    // The label alone, as a page would show it.
    QImage render(const PrintLabel& label, const Placement& placement) const;
    // The note as the label shows it, on device (a page, an image).
    QString shownNote(const PrintLabel& label, const Placement& placement, QPaintDevice* device) const;

private:
    void paintSymbol(QPainter& painter, int x, int y, const symbols::Symbol& symbol, const Placement& placement) const;

    const Layout& m_layout;
    QFont m_font;
    int m_lineHeight;
};

} // namespace quorlan::label_tool
