#include "shell/qt/about_box.h"

#include "config/qt/center_form.h"
#include "shell/qt/app_icon.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace quorlan::shell {

namespace {

constexpr int kIconSize = 48;

QLabel* addLabel(QWidget& parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, &parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QFrame* addRule(QWidget& parent, int number) {
    auto* rule = new QFrame(&parent);
    rule->setObjectName(QStringLiteral("Line%1").arg(number));
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    return rule;
}

} // namespace

FrmAbout::FrmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Quorlan"));

    QLabel* icon = addLabel(*this, "imgApp", {});
    icon->setPixmap(applicationIcon().pixmap(kIconSize, kIconSize));
    QLabel* product = addLabel(*this, "lblProdInfo", QStringLiteral("Quorlan barcode station, Version "));
    product->setText(product->text() + QStringLiteral(QUORLAN_VERSION));
    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("cmdOk"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(product, 0, 1);
    grid->addWidget(addRule(*this, 1), 1, 1);
    grid->addWidget(addLabel(*this, "lblQztInfo", QStringLiteral("A station of the Koridan CNC control family.")), 2,
                    1);
    grid->addWidget(addRule(*this, 2), 3, 1);
    grid->addWidget(addLabel(*this, "VerLabel", QStringLiteral("Copyright (C) 2024 Quorlan. All rights reserved.")), 4,
                    1);
    grid->addWidget(addRule(*this, 3), 5, 0, 1, 2);
    grid->addWidget(addRule(*this, 4), 6, 0, 1, 2);
    grid->addWidget(ok, 7, 1, Qt::AlignRight);
    adjustSize();
    config::centerOnScreen(*this);
}

} // namespace quorlan::shell
