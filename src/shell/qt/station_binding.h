// Puts the main window and the station together: the window's events call the station, and the
// serial settings dialog answers the station's request for port settings.
#pragma once

#include "config/comm_settings.h"
#include "fieldsel/qt/macflds_host.h"
#include "platform/qt/event_loop_pauser.h"
#include "platform/qt/qt_serial_port.h"
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

// The station and its window for one run, put together in the one way main() and the tests
// share: the adapters the logic is given, the logic, and the window's events bound to it. The
// control, the desktop and the clock (in the options) are the caller's.
class StationAssembly final {
public:
    StationAssembly(MainWindow& window, cnc::ControlFactory& control, const platform::PathMapper& paths,
                    platform::Desktop& desktop, HostFolders folders, StationOptions options);
    StationAssembly(const StationAssembly&) = delete;
    StationAssembly& operator=(const StationAssembly&) = delete;

    Station& station() { return m_station; }
    fieldsel::MacFldsHost& fieldSelection() { return m_fieldSelection; }

private:
    platform::EventLoopPauser m_pauser;
    platform::QtSerialPort m_port;
    SettingsDialogPrompt m_prompt;
    Station m_station;
    fieldsel::MacFldsHost m_fieldSelection;
};

} // namespace quorlan::shell
