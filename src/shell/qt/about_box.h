// frmAbout: the product line with the running version.
#pragma once

#include <QDialog>

namespace quorlan::shell {

class FrmAbout final : public QDialog {
    Q_OBJECT
public:
    explicit FrmAbout(QWidget* parent = nullptr);
};

} // namespace quorlan::shell
