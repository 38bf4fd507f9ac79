#include "scan/qt/double_scan_dialog.h"

#include "scan/double_scan_guard.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quorlan::scan {

DoubleScanDialog::DoubleScanDialog(int seconds, QWidget* parent) : QDialog(parent), m_seconds(new QSpinBox(this)) {
    setObjectName(QStringLiteral("DoubleScanDialog"));
    setWindowTitle(QStringLiteral("Double Scan Guard"));
    auto* explanation = new QLabel(
        QStringLiteral("A scanner that fires twice, or a label scanned twice by mistake, makes the part twice. "
                       "The guard refuses a label whose line went to the work list less than this many seconds "
                       "ago, with a message and a beep.\n\n"
                       "Off, every scan makes its part, as the station has always done: leave it off where the "
                       "same label is scanned again on purpose for the next part."),
        this);
    explanation->setWordWrap(true);
    explanation->setMinimumWidth(420);
    m_seconds->setObjectName(QString::fromLatin1(kDuplicateScanSecondsKey));
    m_seconds->setRange(0, kMaxDuplicateScanSeconds);
    m_seconds->setSuffix(QStringLiteral(" s"));
    m_seconds->setSpecialValueText(QStringLiteral("off"));
    m_seconds->setValue(seconds);
    auto* form = new QFormLayout();
    form->addRow(QStringLiteral("Refuse the same label within:"), m_seconds);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* column = new QVBoxLayout(this);
    column->addWidget(explanation);
    column->addLayout(form);
    column->addWidget(buttons);
    // Tall enough for the whole explanation at its width.
    column->setSizeConstraint(QLayout::SetFixedSize);
}

int DoubleScanDialog::seconds() const {
    return m_seconds->value();
}

std::optional<int> askDuplicateScanSeconds(int current, QWidget* parent) {
    DoubleScanDialog dialog(current, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.seconds();
}

} // namespace quorlan::scan
