// ExInsForm: the exclusion numbers 1 to 8 as check boxes. The dialog only chooses; storing and
// showing the choice is ExclusionSelection's business.
#pragma once

#include "scan/exclusion.h"

#include <QDialog>
#include <array>

class QCheckBox;

namespace quorlan::scan {

class ExInsForm final : public QDialog {
    Q_OBJECT
public:
    // Opens with the boxes of the current selection checked.
    explicit ExInsForm(const ExclusionBoxes& boxes, QWidget* parent = nullptr);

    // The boxes as they stand; what OK stores.
    ExclusionBoxes boxes() const;

private:
    std::array<QCheckBox*, kExclusionCount> m_exCk{};
};

} // namespace quorlan::scan
