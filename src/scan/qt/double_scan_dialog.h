// Options > Double Scan Guard: within how many seconds the same label is refused a second time.
#pragma once

#include <QDialog>
#include <optional>

class QSpinBox;

namespace quorlan::scan {

class DoubleScanDialog final : public QDialog {
    Q_OBJECT
public:
    DoubleScanDialog(int seconds, QWidget* parent = nullptr);
    int seconds() const;

private:
    QSpinBox* m_seconds;
};

// The operator's choice, or nothing when the dialog was cancelled.
std::optional<int> askDuplicateScanSeconds(int current, QWidget* parent);

} // namespace quorlan::scan
