#include "shell/scan_loop.h"

#include "cnc/compressed_payload.h"
#include "config/common.h"
#include "platform/error.h"
#include "platform/text.h"

#include <algorithm>

namespace quorlan::shell {

namespace {

constexpr int kQuietTicksPerScan = 2;

// A scan that reached the buffer together with others is cut after its closing "%".
std::size_t labelEnd(const std::string& text) {
    const auto percent = text.find('%', 1);
    return percent == std::string::npos ? text.size() : percent + 1;
}

// Many scanners end each scan with CR, LF or CR LF, often as their factory setting. The line end
// is no part of a label.
bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

std::size_t leadingTerminatorLength(std::string_view text) {
    if (platform::startsWith(text, "\r\n")) {
        return 2;
    }
    return !text.empty() && isLineEnd(text.front()) ? 1 : 0;
}

void dropTerminator(std::string& text) {
    text.resize(text.size() - platform::trailingLineEndLength(text));
}

} // namespace

ScanLoop::ScanLoop(platform::SerialPort& port, platform::StationView& view, ScanRoutes routes)
    : m_port(port), m_view(view), m_routes(std::move(routes)) {}

void ScanLoop::tick() {
    if (!m_port.isOpen()) {
        return;
    }
    frame();
    if (!busy()) {
        drain();
    }
}

void ScanLoop::frame() {
    if (m_port.waitingCount() != 0) {
        read();
    } else if (!m_text.empty() || m_discarded > 0) {
        ++m_quietTicks;
        if (!m_text.empty()) {
            m_view.setLastScan(" Last Scan:    " + m_text);
        }
    }
    if (m_text.size() > kMaxScanLength) {
        discardOverlongInput();
    }
    if (m_quietTicks < kQuietTicksPerScan) {
        return;
    }
    m_quietTicks = 0;
    m_view.setScanActivity(false, {});
    if (m_discarded > 0) {
        m_view.setStatus("Scanner input too long without a pause: " + std::to_string(m_discarded) +
                         " bytes were discarded.");
        m_discarded = 0;
        return;
    }
    m_finished.push_back(std::move(m_text));
    m_text.clear();
}

void ScanLoop::read() {
    const std::string chunk = m_port.readAll();
    if (chunk.empty()) {
        return;
    }
    m_quietTicks = 0;
    m_view.setScanActivity(true, chunk.substr(0, 1));
    if (m_discarded > 0) {
        m_discarded += chunk.size();
    } else {
        m_text += chunk;
    }
}

// No scanner sends a megabyte in one scan: this is a device gone wrong. Whatever else arrives
// before the line falls quiet belongs to the same flood and must not pass for a scan.
void ScanLoop::discardOverlongInput() {
    m_discarded = m_text.size();
    m_text.clear();
    m_view.setStatus("Scanner input too long without a pause; discarding it until the line is quiet.");
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
    if (text.front() == cnc::kCompressedMark) {
        text = m_routes.expandCompressedScan(text);
        if (text.empty()) {
            return;
        }
    }
    if (platform::contains(text, "^")) {
        m_routes.process2DBarcode(text);
        return;
    }
    dispatchLabel(std::move(text));
}

void ScanLoop::dispatchLabel(std::string text) {
    dropTerminator(text);
    if (text.empty()) {
        return;
    }
    std::replace(text.begin(), text.end(), '!', ' ');
    m_view.setStatus("Reading Barcode-Label." + text);
    const std::size_t end = labelEnd(text);
    std::string rest = text.substr(end);
    text.resize(end);
    // The rest is a scan of its own and comes before anything framed meanwhile; the line end a
    // scanner put after the first label is no part of it.
    rest.erase(0, leadingTerminatorLength(rest));
    if (!rest.empty()) {
        m_finished.push_front(std::move(rest));
    }
    m_routes.processLabel(text);
}

} // namespace quorlan::shell
