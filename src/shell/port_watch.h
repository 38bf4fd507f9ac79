// Keeps the scanner port open. A port that could not be opened, or that went away by itself, is
// tried again on every tick until it opens; meanwhile the status line says which port is closed
// and why, so the operator never scans into a station that cannot hear.
#pragma once

#include "config/station_settings.h"
#include "platform/serial_port.h"
#include "platform/view.h"

#include <functional>
#include <optional>
#include <string>

namespace quorlan::shell {

class PortWatch final {
public:
    // Told when the wanted port closes (lost, or not to be opened) and when it is open again: once
    // per change, with the port's name and, when it closed, why.
    using Change = std::function<void(bool open, const std::string& port, const std::string& reason)>;

    PortWatch(platform::SerialPort& port, platform::StationView& view, const config::StationSettings& settings);

    void setOnChange(Change change) { m_onChange = std::move(change); }

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
    void tellChange();

    platform::SerialPort& m_port;
    platform::StationView& m_view;
    const config::StationSettings& m_settings;
    bool m_wanted = false;
    bool m_lost = false;
    std::string m_closedText;
    std::string m_closedReason;
    Change m_onChange;
    std::optional<bool> m_toldOpen; // what the last change told; nothing before the first tick
};

} // namespace quorlan::shell
