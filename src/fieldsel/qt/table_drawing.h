// A drawing of the machine table seen from above, back row at the top: the fields of one layout,
// the reference pins at their ends, and each slot's box with its check box at its end of its
// field. It scales with its widget; the boxes are real controls laid on the drawing.
#pragma once

#include "fieldsel/setup_pages.h"

#include <QWidget>
#include <vector>

namespace quorlan::fieldsel {

class TableDrawing final : public QWidget {
    Q_OBJECT
public:
    struct Division {
        bool halves = false; // a left and a right half of the length
        bool rows = false;   // a back and a front row
    };

    explicit TableDrawing(Division division, QWidget* parent = nullptr);

    // The slot's field-code box and its check box (none for slots without an enabled flag). Both
    // become the drawing's children.
    void addSlot(SlotPlace place, QWidget* box, QWidget* check);
    // Dimension lines along X over one half of the length and along Y over one row, with the
    // half limits' boxes beside them.
    void addDimensions(QWidget* xBox, QWidget* yBox);

    QRect tableRect() const;
    QRect fieldRect(TableRow row, TablePart part) const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Slot {
        SlotPlace place;
        QWidget* box;
        QWidget* check;
    };
    struct Field {
        TableRow row;
        TablePart part;
    };

    QMargins tableMargins() const;
    std::vector<Field> fields() const;
    QString fieldName(const Field& field) const;
    std::vector<QPoint> pins() const;
    int endWidth() const; // a pin's room, a box and its check box
    void placeControls();
    void placeSlot(const Slot& slot);
    void placeDimensions();
    void paintField(QPainter& painter, const Field& field) const;
    void paintDimensions(QPainter& painter) const;

    Division m_division;
    std::vector<Slot> m_slots;
    QWidget* m_xBox = nullptr;
    QWidget* m_yBox = nullptr;
};

} // namespace quorlan::fieldsel
