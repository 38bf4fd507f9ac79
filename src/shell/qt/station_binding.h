// Puts the main window and the station together: the window's events call the station, and the
// serial settings dialog answers the station's request for port settings.
#pragma once

#include "config/comm_settings.h"
#include "fieldsel/qt/macflds_host.h"
#include "platform/serial_port.h"
#include "shell/qt/main_window.h"
#include "shell/station.h"

namespace quorlan::shell {

// frmSettings for the station. The dialog's working values live as long as this object. Nobody
// answers a dialog in unattended mode, so there it is never shown and counts as cancelled.
class SettingsDialogPrompt final : public PortSettingsPrompt {
public:
    SettingsDialogPrompt(MainWindow& window, const platform::SerialPort& port);
    std::optional<config::CommChoice> askPortSettings(const config::StationSettings& current) override;

private:
    MainWindow& m_window;
    const platform::SerialPort& m_port;
    config::SettingsDialogState m_state;
};

WindowActions stationActions(Station& station, MainWindow& window, PortSettingsPrompt& prompt,
                             fieldsel::MacFldsHost& fieldSelection);

} // namespace quorlan::shell
