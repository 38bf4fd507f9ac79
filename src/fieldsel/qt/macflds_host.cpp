#include "fieldsel/qt/macflds_host.h"

#include "fieldsel/qt/macflds_dialog.h"

namespace quorlan::fieldsel {

MacFldsHost::MacFldsHost(FieldSelectionSetup& setup, QWidget& mainWindow, bool unattended)
    : m_setup(setup), m_mainWindow(mainWindow), m_unattended(unattended) {
    m_setup.setFirstUseHook([this] { create(); });
}

MacFldsHost::~MacFldsHost() {
    m_setup.setFirstUseHook({});
    unload();
}

void MacFldsHost::create() {
    if (m_dialog == nullptr) {
        m_dialog = new MacFlds(m_setup, &m_mainWindow);
    }
}

void MacFldsHost::show() {
    // Reading the settings runs the first-use hook, which creates the dialog; after an unload the
    // settings are read already, so it is created here.
    m_setup.settings();
    create();
    if (!m_unattended) {
        m_dialog->exec();
    }
}

MacFlds* MacFldsHost::dialog() const {
    return m_dialog.data();
}

void MacFldsHost::unload() {
    delete m_dialog;
}

} // namespace quorlan::fieldsel
