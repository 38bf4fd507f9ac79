// Keeps the scanner port open. A port that could not be opened, or that went away by itself, is
// tried again on every tick until it opens; meanwhile the status line says which port is closed
// and why, so the operator never scans into a station that cannot hear.
#pragma once

#include "config/station_settings.h"
#include "platform/serial_port.h"
#include "platform/view.h"

#include <string>

namespace quorlan::shell {

class PortWatch final {
public:
    PortWatch(platform::SerialPort& port, platform::StationView& view, const config::StationSettings& settings);

    // The port is wanted open with the current settings, whether or not it is open now.
    void keepOpen() { m_wanted = true; }
    // Shut-down: a closed port stays closed.
    void stop() { m_wanted = false; }

    // On every tick, before the port is read: reports a loss, retries a closed port that is
    // wanted, and keeps the reason on the status line while it stays closed. True when open.
    bool ready();

private:
    void reopen();
    std::string portName() const;
    void showWhileClosed(std::string text);

    platform::SerialPort& m_port;
    platform::StationView& m_view;
    const config::StationSettings& m_settings;
    bool m_wanted = false;
    bool m_lost = false;
    std::string m_closedText;
};

} // namespace quorlan::shell
