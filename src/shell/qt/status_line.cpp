#include "shell/qt/status_line.h"

#include <QPainter>
#include <QResizeEvent>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>

namespace quorlan::shell {

namespace {

const QString kEllipsis = QStringLiteral("\u2026");

// The text as it breaks into lines of width pixels: at blanks where it can, inside a word (a path)
// where it must. The pieces keep their blanks, so together they are the text.
QStringList wrapped(const QString& text, const QFont& font, const QPaintDevice* device, int width) {
    QTextLayout layout(text, font, device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

// Rich text, so that a long tip wraps as the line does, with every blank kept.
QString tipOf(const QString& text) {
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

QString withoutMiddle(const QString& text, qsizetype kept) {
    return text.left(kept - kept / 2) + kEllipsis + text.right(kept / 2);
}

} // namespace

StatusLine::StatusLine(const QString& text, QWidget* parent) : QFrame(parent), m_text(text) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setToolTip(tipOf(m_text));
}

void StatusLine::setText(const QString& text) {
    if (text == m_text) {
        return;
    }
    m_text = text;
    setToolTip(tipOf(m_text));
    fitHeight();
    update();
}

int StatusLine::padding() const {
    // As a framed label indents its text.
    return fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2;
}

QStringList StatusLine::shownLines(int width) const {
    // A pixel to spare: painting and measuring may round a glyph apart.
    const int room = std::max(1, width - 2 * frameWidth() - 2 * padding() - 1);
    QStringList lines = wrapped(m_text, font(), this, room);
    if (lines.size() <= kMaxLines) {
        return lines;
    }
    // The most of the text, from both ends, that fits the lines there are.
    qsizetype fits = 0;
    qsizetype fails = m_text.size();
    while (fails - fits > 1) {
        const qsizetype kept = (fits + fails) / 2;
        (wrapped(withoutMiddle(m_text, kept), font(), this, room).size() <= kMaxLines ? fits : fails) = kept;
    }
    return wrapped(withoutMiddle(m_text, fits), font(), this, room);
}

int StatusLine::heightForWidth(int width) const {
    const auto lines = static_cast<int>(std::max<qsizetype>(1, shownLines(width).size()));
    return lines * fontMetrics().lineSpacing() + 2 * frameWidth();
}

QSize StatusLine::sizeHint() const {
    return {width(), std::max(m_leastHeight, heightForWidth(width()))};
}

QSize StatusLine::minimumSizeHint() const {
    return {fontMetrics().averageCharWidth() * 10 + 2 * frameWidth(), sizeHint().height()};
}

void StatusLine::setLeastHeight(int pixels) {
    m_leastHeight = pixels;
    fitHeight();
}

void StatusLine::fitHeight() {
    const int wanted = std::max(m_leastHeight, heightForWidth(width()));
    if (wanted != minimumHeight() || wanted != maximumHeight()) {
        setFixedHeight(wanted);
        emit heightChanged();
    }
}

void StatusLine::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    if (event->size().width() != event->oldSize().width()) {
        fitHeight();
    }
}

void StatusLine::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(padding(), 0, -padding(), 0);
    const QStringList lines = shownLines(width());
    const int lineHeight = fontMetrics().lineSpacing();
    int top = area.top() + (area.height() - static_cast<int>(lines.size()) * lineHeight) / 2;
    for (const QString& line : lines) {
        painter.drawText(QRect(area.left(), top, area.width(), lineHeight), Qt::AlignLeft | Qt::AlignVCenter, line);
        top += lineHeight;
    }
}

} // namespace quorlan::shell
