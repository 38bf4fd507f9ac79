#include "fieldsel/qt/table_drawing.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace quorlan::fieldsel {

namespace {

constexpr int kPinRadius = 5;
constexpr int kGap = 4;
constexpr int kFieldInset = 3;                   // fields are drawn a little inside their share of the table
constexpr int kEndInset = kPinRadius + 2 * kGap; // a box keeps clear of the pin at its end
constexpr int kDimensionOffset = 14;             // from the table's edge to a dimension line
constexpr int kArrowLength = 7;

const QColor kTableColour(176, 180, 186);
const QColor kEdgeColour(70, 74, 80);
const QColor kPinColour(40, 40, 40);
const QColor kNameColour(80, 80, 80);
const QColor kDimensionColour(20, 60, 140);

QColor rowColour(TableRow row) {
    switch (row) {
    case TableRow::Back:
        return {210, 226, 246};
    case TableRow::Front:
        return {218, 240, 210};
    case TableRow::WholeDepth:
        break;
    }
    return {240, 234, 214};
}

QSize controlSize(const QWidget* control) {
    return control->sizeHint().expandedTo(control->minimumSize()).boundedTo(control->maximumSize());
}

void paintArrow(QPainter& painter, QPointF tip, QPointF direction) {
    const QPointF side(-direction.y(), direction.x());
    QPainterPath head;
    head.moveTo(tip);
    head.lineTo(tip - direction * kArrowLength + side * (kArrowLength / 2.5));
    head.lineTo(tip - direction * kArrowLength - side * (kArrowLength / 2.5));
    head.closeSubpath();
    painter.fillPath(head, painter.pen().color());
}

// A dimension line between two points, arrows at both ends.
void paintDimensionLine(QPainter& painter, QPointF from, QPointF to) {
    painter.drawLine(from, to);
    const QPointF along = (to - from) / std::max(1.0, QLineF(from, to).length());
    paintArrow(painter, from, -along);
    paintArrow(painter, to, along);
}

} // namespace

TableDrawing::TableDrawing(Division division, QWidget* parent) : QWidget(parent), m_division(division) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TableDrawing::addSlot(SlotPlace place, QWidget* box, QWidget* check) {
    box->setParent(this);
    if (check != nullptr) {
        check->setParent(this);
    }
    m_slots.push_back({place, box, check});
    placeControls();
}

void TableDrawing::addDimensions(QWidget* xBox, QWidget* yBox) {
    xBox->setParent(this);
    yBox->setParent(this);
    m_xBox = xBox;
    m_yBox = yBox;
    placeControls();
}

// Room for the pins around the table, and for the dimension lines with their boxes.
QMargins TableDrawing::tableMargins() const {
    QMargins margins(kPinRadius + 1, kPinRadius + 1, kPinRadius + 1, kPinRadius + 1);
    if (m_xBox != nullptr) {
        margins.setBottom(kDimensionOffset + kGap + controlSize(m_xBox).height() + 2);
        margins.setRight(kDimensionOffset + 2 * kGap + controlSize(m_yBox).width() + 2);
    }
    return margins;
}

QRect TableDrawing::tableRect() const {
    return rect().marginsRemoved(tableMargins());
}

QRect TableDrawing::fieldRect(TableRow row, TablePart part) const {
    const QRect table = tableRect();
    const int middleX = table.left() + table.width() / 2;
    const int middleY = table.top() + table.height() / 2;
    int left = table.left();
    int right = table.left() + table.width();
    if (part == TablePart::LeftHalf) {
        right = middleX;
    } else if (part == TablePart::RightHalf) {
        left = middleX;
    }
    int top = table.top();
    int bottom = table.top() + table.height();
    if (row == TableRow::Back) {
        bottom = middleY;
    } else if (row == TableRow::Front) {
        top = middleY;
    }
    return {left, top, right - left, bottom - top};
}

std::vector<TableDrawing::Field> TableDrawing::fields() const {
    std::vector<TableRow> rows = {TableRow::WholeDepth};
    if (m_division.rows) {
        rows = {TableRow::Back, TableRow::Front};
    }
    std::vector<TablePart> parts = {TablePart::FullLength};
    if (m_division.halves) {
        parts = {TablePart::LeftHalf, TablePart::RightHalf};
    }
    std::vector<Field> result;
    for (const TableRow row : rows) {
        for (const TablePart part : parts) {
            result.push_back({row, part});
        }
    }
    return result;
}

QString TableDrawing::fieldName(const Field& field) const {
    const bool left = field.part == TablePart::LeftHalf;
    const bool half = field.part != TablePart::FullLength;
    switch (field.row) {
    case TableRow::Back:
        return half ? (left ? QStringLiteral("Back left") : QStringLiteral("Back right")) : QStringLiteral("Back row");
    case TableRow::Front:
        return half ? (left ? QStringLiteral("Front left") : QStringLiteral("Front right"))
                    : QStringLiteral("Front row");
    case TableRow::WholeDepth:
        break;
    }
    return half ? (left ? QStringLiteral("Left half") : QStringLiteral("Right half")) : QStringLiteral("Full length");
}

// At the ends of the fields (and the middle of the length when it is halved); on the table's
// corners and the middles of its edges when it has rows, else half-way along its depth.
std::vector<QPoint> TableDrawing::pins() const {
    const QRect table = tableRect();
    std::vector<int> xs = {table.left(), table.left() + table.width()};
    if (m_division.halves) {
        xs.insert(xs.begin() + 1, table.left() + table.width() / 2);
    }
    std::vector<int> ys = {table.top() + table.height() / 2};
    if (m_division.rows) {
        ys = {table.top(), table.top() + table.height() / 2, table.top() + table.height()};
    }
    std::vector<QPoint> result;
    for (const int x : xs) {
        for (const int y : ys) {
            result.emplace_back(x, y);
        }
    }
    return result;
}

int TableDrawing::endWidth() const {
    int widest = 0;
    for (const Slot& slot : m_slots) {
        const int check = slot.check != nullptr ? kGap + controlSize(slot.check).width() : 0;
        widest = std::max(widest, kEndInset + controlSize(slot.box).width() + check);
    }
    return widest;
}

QSize TableDrawing::minimumSizeHint() const {
    const int across = m_division.halves ? 2 : 1;
    const int down = m_division.rows ? 2 : 1;
    const int nameHeight = fontMetrics().height();
    int boxHeight = 0;
    for (const Slot& slot : m_slots) {
        boxHeight = std::max(boxHeight, controlSize(slot.box).height());
    }
    const QSize table(across * std::max(2 * endWidth() + 2 * kGap, 6 * nameHeight),
                      down * (2 * nameHeight + boxHeight));
    const QMargins margins = tableMargins();
    return table + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize TableDrawing::sizeHint() const {
    return minimumSizeHint().expandedTo(QSize(480, m_division.rows ? 150 : 90));
}

void TableDrawing::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeControls();
}

void TableDrawing::placeControls() {
    for (const Slot& slot : m_slots) {
        placeSlot(slot);
    }
    if (m_xBox != nullptr) {
        placeDimensions();
    }
}

// The box at the very end of its field, its check box beside it towards the field's middle.
void TableDrawing::placeSlot(const Slot& slot) {
    const QRect field = fieldRect(slot.place.row, slot.place.part);
    const QSize box = controlSize(slot.box);
    const int middleY = field.top() + field.height() / 2;
    const bool left = slot.place.end == FieldEnd::Left;
    const int boxLeft = left ? field.left() + kEndInset : field.left() + field.width() - kEndInset - box.width();
    slot.box->setGeometry(boxLeft, middleY - box.height() / 2, box.width(), box.height());
    if (slot.check != nullptr) {
        const QSize check = controlSize(slot.check);
        const int checkLeft = left ? boxLeft + box.width() + kGap : boxLeft - kGap - check.width();
        slot.check->setGeometry(checkLeft, middleY - check.height() / 2, check.width(), check.height());
    }
}

void TableDrawing::placeDimensions() {
    const QRect table = tableRect();
    const QRect halfLength = fieldRect(TableRow::Front, TablePart::LeftHalf);
    const QSize x = controlSize(m_xBox);
    const int lineY = table.top() + table.height() + kDimensionOffset;
    m_xBox->setGeometry(halfLength.left() + (halfLength.width() - x.width()) / 2, lineY + kGap, x.width(), x.height());

    const QSize y = controlSize(m_yBox);
    const int lineX = table.left() + table.width() + kDimensionOffset;
    const int rowMiddle = halfLength.top() + halfLength.height() / 2;
    m_yBox->setGeometry(lineX + 2 * kGap, rowMiddle - y.height() / 2, y.width(), y.height());
}

void TableDrawing::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect table = tableRect();
    painter.setPen(QPen(kEdgeColour, 2));
    painter.setBrush(kTableColour);
    painter.drawRect(table);
    for (const Field& field : fields()) {
        paintField(painter, field);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPinColour);
    for (const QPoint& pin : pins()) {
        painter.drawEllipse(pin, kPinRadius, kPinRadius);
    }
    if (m_xBox != nullptr) {
        paintDimensions(painter);
    }
}

void TableDrawing::paintField(QPainter& painter, const Field& field) const {
    const QRect area = fieldRect(field.row, field.part).adjusted(kFieldInset, kFieldInset, -kFieldInset, -kFieldInset);
    painter.setPen(QPen(kEdgeColour, 1));
    painter.setBrush(rowColour(field.row));
    painter.drawRect(area);
    QFont font = painter.font();
    font.setItalic(true);
    painter.setFont(font);
    painter.setPen(kNameColour);
    painter.drawText(area.adjusted(0, 1, 0, 0), Qt::AlignHCenter | Qt::AlignTop, fieldName(field));
    painter.setFont(this->font());
}

// X over the left half of the length, below the table; Y over the front row, right of it.
void TableDrawing::paintDimensions(QPainter& painter) const {
    const QRect table = tableRect();
    const QRect quarter = fieldRect(TableRow::Front, TablePart::LeftHalf);
    painter.setPen(QPen(kDimensionColour, 1));
    const qreal tableBottom = table.top() + table.height();
    const qreal tableRight = table.left() + table.width();
    const qreal lineY = tableBottom + kDimensionOffset;
    const qreal lineX = tableRight + kDimensionOffset;
    for (const qreal x : {qreal(quarter.left()), qreal(quarter.left() + quarter.width())}) {
        painter.drawLine(QPointF(x, tableBottom + 2), QPointF(x, lineY + kGap));
    }
    paintDimensionLine(painter, QPointF(quarter.left(), lineY), QPointF(quarter.left() + quarter.width(), lineY));
    for (const qreal y : {qreal(quarter.top()), qreal(quarter.top() + quarter.height())}) {
        painter.drawLine(QPointF(tableRight + 2, y), QPointF(lineX + kGap, y));
    }
    paintDimensionLine(painter, QPointF(lineX, quarter.top()), QPointF(lineX, quarter.top() + quarter.height()));

    const QRect xBox = m_xBox->geometry();
    painter.drawText(QRect(xBox.left() - 3 * kGap - fontMetrics().horizontalAdvance(QLatin1Char('X')), xBox.top(),
                           2 * fontMetrics().horizontalAdvance(QLatin1Char('X')), xBox.height()),
                     Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("X"));
    const QRect yBox = m_yBox->geometry();
    painter.drawText(
        QRect(yBox.left(), yBox.top() - fontMetrics().height() - kGap, yBox.width(), fontMetrics().height()),
        Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("Y"));
}

} // namespace quorlan::fieldsel
