// The scanner polling: every timer tick reads what the port has, frames scans by two quiet
// ticks and routes each finished scan by its kind.
//
// Dispatching a label pauses while the window keeps processing events, so ticks run nested
// inside a dispatch. A finished scan therefore leaves the buffer before it is dispatched; nested
// ticks keep reading and framing, and the scans they finish wait in order until the running
// dispatch returns. Each scan is dispatched exactly once and no byte is dropped.
#pragma once

#include "platform/serial_port.h"
#include "platform/view.h"

#include <deque>
#include <functional>
#include <string>

namespace quorlan::shell {

struct ScanRoutes {
    std::function<bool(const std::string&)> processLabel;
    std::function<void(const std::string&)> process2DBarcode;
    // The expanded text; empty when nothing is left to dispatch.
    std::function<std::string(const std::string&)> expandCompressedScan;
};

class ScanLoop final {
public:
    static constexpr std::size_t kMaxScanLength = 1 << 20;

    ScanLoop(platform::SerialPort& port, platform::StationView& view, ScanRoutes routes);

    // Timer1. A closed port is no error: the tick then does nothing.
    void tick();

    // While held (start-up, a manual entry being processed), ticks frame scans but dispatch none.
    bool busy() const { return m_holds > 0; }
    void hold() { ++m_holds; }
    void release() { --m_holds; }

    // ScanBuffer.Text, for tests and the echo.
    const std::string& pendingText() const { return m_text; }
    std::size_t queuedScans() const { return m_finished.size(); }

private:
    void frame();
    void read();
    void discardOverlongInput();
    void drain();
    void dispatchReported(std::string text);
    void dispatch(std::string text);
    void dispatchLabel(std::string text);

    platform::SerialPort& m_port;
    platform::StationView& m_view;
    ScanRoutes m_routes;
    std::string m_text;
    int m_quietTicks = 0;
    std::deque<std::string> m_finished;
    int m_holds = 0;
    // Bytes of an over-long scan thrown away so far; the rest of it is thrown away too, until
    // the line has been quiet for a scan's quiet ticks.
    std::size_t m_discarded = 0;
};

} // namespace quorlan::shell
