// MacFlds's lifetime: created hidden the first time anything needs the field-selection settings
// (the menu, or a scan through the setup's first-use hook), shown modally from the menu as often
// as wanted, destroyed when the main window closes.
#pragma once

#include "fieldsel/field_selection_setup.h"

#include <QPointer>

class QWidget;

namespace quorlan::fieldsel {

class MacFlds;

class MacFldsHost final {
public:
    // Unattended, nobody is there to answer the dialog: it is never shown, only created.
    MacFldsHost(FieldSelectionSetup& setup, QWidget& mainWindow, bool unattended);
    ~MacFldsHost();
    MacFldsHost(const MacFldsHost&) = delete;
    MacFldsHost& operator=(const MacFldsHost&) = delete;

    // "&Auto Field Select": shows the dialog modally.
    void show();
    // The main window closes.
    void unload();

    MacFlds* dialog() const;

private:
    void create();

    FieldSelectionSetup& m_setup;
    QWidget& m_mainWindow;
    bool m_unattended;
    QPointer<MacFlds> m_dialog;
};

} // namespace quorlan::fieldsel
