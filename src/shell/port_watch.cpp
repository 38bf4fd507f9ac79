#include "shell/port_watch.h"

#include "config/comm_settings.h"
#include "platform/error.h"

namespace quorlan::shell {

PortWatch::PortWatch(platform::SerialPort& port, platform::StationView& view, const config::StationSettings& settings)
    : m_port(port), m_view(view), m_settings(settings) {}

bool PortWatch::ready() {
    const std::string lossReason = m_port.takeLossReason();
    if (!lossReason.empty()) {
        m_lost = true;
        m_closedReason = lossReason;
        showWhileClosed("The scanner port " + portName() + " was lost: " + lossReason +
                        ". Waiting for it to come back.");
    }
    if (!m_port.isOpen() && m_wanted) {
        reopen();
    }
    tellChange();
    return m_port.isOpen();
}

// A port open at the first tick is no news; one closed then is.
void PortWatch::tellChange() {
    const bool open = m_port.isOpen();
    if (!m_wanted || m_toldOpen == open) {
        return;
    }
    if (m_onChange && (m_toldOpen.has_value() || !open)) {
        m_onChange(open, portName(), open ? std::string() : m_closedReason);
    }
    m_toldOpen = open;
}

void PortWatch::reopen() {
    try {
        const std::size_t discarded = config::openScannerPort(m_port, m_settings);
        config::showPortOpened(m_settings, discarded, m_view);
        if (discarded == 0) {
            m_view.setStatus("The scanner port " + portName() + " is open again. Ready.");
        }
        m_lost = false;
        m_closedText.clear();
    } catch (const platform::StationError& error) {
        // A lost device that is still missing says no more than the loss did.
        if (!(m_lost && error.number() == platform::errc::kInvalidPortNumber)) {
            m_lost = false;
            m_closedReason = error.description();
            showWhileClosed("The scanner port " + portName() + " cannot be opened: " + error.description() +
                            ". Trying again until it opens.");
        } else {
            showWhileClosed(m_closedText);
        }
    }
}

std::string PortWatch::portName() const {
    const std::string device = m_port.deviceName(m_settings.CommPort);
    return "COM" + std::to_string(m_settings.CommPort) + (device.empty() ? std::string() : " (" + device + ")");
}

// Said once, and again only when something else took the status line, so that an unattended
// station does not echo the same line on every tick.
void PortWatch::showWhileClosed(std::string text) {
    m_closedText = std::move(text);
    if (m_view.status() != m_closedText) {
        m_view.setStatus(m_closedText);
    }
}

} // namespace quorlan::shell
