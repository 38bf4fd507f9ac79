#include "label_painter.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

namespace quorlan::label_tool {

namespace {

constexpr double kTextPoints = 7;
constexpr int kTextLines = 2;

// The caption, and the note when there is one.
int textLinesOf(const PrintLabel& label) {
    return label.note.isEmpty() ? 1 : kTextLines;
}

} // namespace

LabelPainter::LabelPainter(const Layout& layout) : m_layout(layout), m_font(QStringLiteral("DejaVu Sans Mono")) {
    m_font.setStyleHint(QFont::Monospace);
    m_font.setPixelSize(static_cast<int>(kTextPoints / 72.0 * layout.dpi()));
    m_lineHeight = m_font.pixelSize() * 5 / 4;
}

Placement LabelPainter::place(const PrintLabel& label) const {
    return placeSymbol(label.symbol, m_layout, textLinesOf(label) * m_lineHeight);
}

bool LabelPainter::fits(const symbols::Symbol& symbol) const {
    try {
        placeSymbol(symbol, m_layout, kTextLines * m_lineHeight);
        return true;
    } catch (const LayoutError&) {
        return false;
    }
}

void LabelPainter::paint(QPainter& painter, const Rect& cell, const PrintLabel& label,
                         const Placement& placement) const {
    painter.setRenderHint(QPainter::Antialiasing, false);
    paintSymbol(painter, cell.x + placement.symbol.x, cell.y + placement.symbol.y, label.symbol, placement);
    painter.setFont(m_font);
    painter.setPen(Qt::black);
    const QFontMetrics metrics(m_font, painter.device());
    const QRect text(cell.x + placement.text.x, cell.y + placement.text.y, placement.text.width, m_lineHeight);
    painter.drawText(text, Qt::AlignHCenter | Qt::AlignTop,
                     metrics.elidedText(label.caption, Qt::ElideMiddle, text.width()));
    painter.drawText(text.translated(0, m_lineHeight), Qt::AlignHCenter | Qt::AlignTop,
                     shownNote(label, placement, painter.device()));
}

QString LabelPainter::shownNote(const PrintLabel& label, const Placement& placement, QPaintDevice* device) const {
    // A note leads with what must stay readable (the set number, what the part is), so only its
    // end gives way.
    return QFontMetrics(m_font, device).elidedText(label.note, Qt::ElideRight, placement.text.width);
}

void LabelPainter::paintSymbol(QPainter& painter, int x, int y, const symbols::Symbol& symbol,
                               const Placement& placement) const {
    const int module = placement.moduleDots;
    const int quiet = symbol.quietZone() * module;
    int top = y + (symbol.isLinear() ? 0 : quiet);
    for (int row = 0; row < static_cast<int>(symbol.rowHeights.size()); ++row) {
        const int height = symbol.isLinear() ? placement.barHeight : symbol.rowHeights[row] * module;
        // Runs of dark modules as one rectangle each keep PDF and SVG pages small.
        for (int column = 0; column < symbol.width;) {
            if (!symbol.isDark(row, column)) {
                ++column;
                continue;
            }
            const int start = column;
            while (column < symbol.width && symbol.isDark(row, column)) {
                ++column;
            }
            painter.fillRect(x + quiet + start * module, top, (column - start) * module, height, Qt::black);
        }
        top += height;
    }
}

QImage LabelPainter::render(const PrintLabel& label, const Placement& placement) const {
    const Rect cell = m_layout.cellSize();
    QImage image(cell.width, cell.height, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter painter(&image);
    paint(painter, cell, label, placement);
    return image;
}

} // namespace quorlan::label_tool
