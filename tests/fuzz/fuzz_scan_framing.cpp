// The scan loop's framing with input arriving in chunks of any size and timing: a chunk is a
// length byte and that many bytes, read on one tick; a length of 0 is a tick with nothing new.
// Each dispatch runs a nested tick, as the hand-over's pauses do.
#include "fakes/fake_serial_port.h"
#include "fakes/fake_view.h"
#include "fuzz_station.h"
#include "shell/scan_loop.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorlan;
    testing::FakeSerialPort port;
    port.opened = true;
    testing::FakeView view;
    shell::ScanLoop* loop = nullptr;
    int depth = 0;
    const auto take = [&](const std::string& scan) {
        if (++depth > 1) {
            fuzzing::broken("a scan dispatched inside another", scan);
        }
        if (scan.empty() || scan.size() > shell::ScanLoop::kMaxScanLength) {
            fuzzing::broken("scan of impossible length", std::to_string(scan.size()));
        }
        loop->tick();
        --depth;
    };
    shell::ScanRoutes routes;
    routes.processLabel = [&](const std::string& scan) {
        take(scan);
        return true;
    };
    routes.process2DBarcode = take;
    routes.expandCompressedScan = [&](const std::string& scan) {
        take(scan);
        return std::string();
    };
    shell::ScanLoop scanLoop(port, view, routes);
    loop = &scanLoop;

    std::string_view input(reinterpret_cast<const char*>(data), size);
    while (!input.empty()) {
        const std::size_t length = std::min<std::size_t>(static_cast<unsigned char>(input.front()), input.size() - 1);
        port.feed(std::string(input.substr(1, length)));
        input.remove_prefix(1 + length);
        scanLoop.tick();
    }
    for (int tick = 0; tick < 3; ++tick) {
        scanLoop.tick();
    }
    if (!scanLoop.pendingText().empty() || scanLoop.queuedScans() != 0) {
        fuzzing::broken("input left over after the line fell quiet", scanLoop.pendingText());
    }
    return 0;
}
