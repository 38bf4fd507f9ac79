#include "shell/scan_loop.h"

#include "config/common.h"
#include "platform/error.h"
#include "platform/text.h"

#include <algorithm>

namespace quorlan::shell {

namespace {

constexpr char kCompressedMark = '\xF1'; // "ñ" in the station's code page
constexpr int kQuietTicksPerScan = 2;

// A scan that reached the buffer together with others is cut after its closing "%".
std::size_t labelEnd(const std::string& text) {
    const auto percent = text.find('%', 1);
    return percent == std::string::npos ? text.size() : percent + 1;
}

} // namespace

ScanLoop::ScanLoop(platform::SerialPort& port, platform::StationView& view, ScanRoutes routes)
    : m_port(port), m_view(view), m_routes(std::move(routes)) {}

void ScanLoop::tick() {
    if (!watchPort()) {
        return;
    }
    frame();
    if (!busy()) {
        drain();
    }
}

// False while the port is closed, which is no error: ticks then do nothing. A port that went
// away by itself is reported once and reopened as soon as the device is back.
bool ScanLoop::watchPort() {
    const std::string reason = m_port.takeLossReason();
    if (!reason.empty()) {
        m_portLost = true;
        m_view.setStatus("Scanner port lost (" + reason + "); waiting for it to come back.");
    }
    if (m_port.isOpen()) {
        m_portLost = false;
        return true;
    }
    if (m_portLost && m_routes.reopenPort && m_routes.reopenPort()) {
        m_portLost = false;
        m_view.setStatus("Scanner port is back. Ready.");
        return true;
    }
    return false;
}

void ScanLoop::frame() {
    if (m_port.waitingCount() != 0) {
        const std::string chunk = m_port.readAll();
        if (!chunk.empty()) {
            m_text += chunk;
            m_view.setScanActivity(true, chunk.substr(0, 1));
            m_quietTicks = 0;
        }
    } else if (!m_text.empty()) {
        ++m_quietTicks;
        m_view.setLastScan(" Last Scan:    " + m_text);
    }
    if (m_text.size() > kMaxScanLength) {
        m_text.clear();
        m_quietTicks = 0;
        m_view.setScanActivity(false, {});
        m_view.setStatus("Scanner input too long without a pause; it was discarded.");
        return;
    }
    if (m_quietTicks == kQuietTicksPerScan) {
        m_quietTicks = 0;
        m_view.setScanActivity(false, {});
        m_finished.push_back(std::move(m_text));
        m_text.clear();
    }
}

void ScanLoop::drain() {
    hold();
    while (!m_finished.empty()) {
        std::string scan = std::move(m_finished.front());
        m_finished.pop_front();
        dispatchReported(std::move(scan));
    }
    release();
}

// An error the dispatched routine lets through is the operator's to see; the loop goes on.
void ScanLoop::dispatchReported(std::string text) {
    try {
        dispatch(std::move(text));
    } catch (const platform::StationError& error) {
        config::showUnexpectedError(m_view, error);
    } catch (const std::exception& error) {
        m_view.message(std::string("Unexpected error occured: ") + error.what(), platform::MessageIcon::Critical);
    }
}

void ScanLoop::dispatch(std::string text) {
    if (text.front() == '\'' && platform::contains(text, "$")) {
        text = text.substr(1, text.find('$') - 1);
        if (text.empty()) {
            return;
        }
        m_routes.processLabel("%N%");
    }
    if (text.front() == kCompressedMark) {
        if (!m_routes.expandCompressedScan) {
            m_view.setStatus("Compressed scan received; this station cannot expand it yet. Scan not used.");
            return;
        }
        text = m_routes.expandCompressedScan(text);
        if (text.empty()) {
            return;
        }
    }
    if (platform::contains(text, "^")) {
        if (!m_routes.process2DBarcode) {
            m_view.setStatus("2D barcode received; this station cannot process it yet. Scan not used.");
            return;
        }
        m_routes.process2DBarcode(text);
        return;
    }
    dispatchLabel(std::move(text));
}

void ScanLoop::dispatchLabel(std::string text) {
    std::replace(text.begin(), text.end(), '!', ' ');
    m_view.setStatus("Reading Barcode-Label." + text);
    const std::size_t end = labelEnd(text);
    std::string rest = text.substr(end);
    text.resize(end);
    // The rest is a scan of its own and comes before anything framed meanwhile.
    if (!rest.empty()) {
        m_finished.push_front(std::move(rest));
    }
    m_routes.processLabel(text);
}

} // namespace quorlan::shell
