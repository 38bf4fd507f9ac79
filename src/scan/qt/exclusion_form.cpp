#include "scan/qt/exclusion_form.h"

#include "config/qt/center_form.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorlan::scan {

namespace {

QPushButton* addButton(QWidget& parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromLatin1(caption), &parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

ExInsForm::ExInsForm(const ExclusionBoxes& boxes, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ExInsForm"));
    setWindowTitle(QStringLiteral("Exclusion Insertion"));

    auto* label1 = new QLabel(QStringLiteral("Automatic insertion of an Exclusion number in the List Manager upon scan "
                                             "of barcode.  Select desired Exclusion number to insert."),
                              this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setWordWrap(true);

    auto* row = new QHBoxLayout;
    for (int index = 0; index < kExclusionCount; ++index) {
        const int number = index + 1;
        // One name for the eight boxes, told apart by their index 1 to 8, as the labels LabID are.
        auto* box = new QCheckBox(QString::number(number), this);
        box->setObjectName(QStringLiteral("ExCk"));
        box->setProperty("index", number);
        box->setChecked(boxes.at(static_cast<std::size_t>(index)));
        row->addWidget(box);
        m_exCk.at(static_cast<std::size_t>(index)) = box;
    }

    QPushButton* ok = addButton(*this, "BtnOK", "OK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    QPushButton* cancel = addButton(*this, "BtnCan", "Cancel");
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label1);
    layout->addLayout(row);
    layout->addLayout(buttons);
    resize(420, sizeHint().height());
    config::centerOnScreen(*this);
}

ExclusionBoxes ExInsForm::boxes() const {
    ExclusionBoxes boxes{};
    for (std::size_t index = 0; index < boxes.size(); ++index) {
        boxes[index] = m_exCk[index]->isChecked();
    }
    return boxes;
}

} // namespace quorlan::scan
