// A scripted serial port: the test feeds chunks of input, reads back what was written, and can
// unplug the device.
#pragma once

#include "platform/error.h"
#include "platform/serial_port.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quorlan::testing {

class FakeSerialPort final : public platform::SerialPort {
public:
    std::size_t open(int port, const platform::SerialParameters& parameters) override {
        ++openCalls;
        if (failOpenWith != 0) {
            throw platform::StationError(failOpenWith);
        }
        opened = true;
        openedPort = port;
        openedSettings = platform::settingsText(parameters);
        const std::size_t discarded = pending.size();
        pending.clear();
        return discarded;
    }
    void close() override { opened = false; }
    bool isOpen() const override { return opened; }
    int waitingCount() override { return static_cast<int>(pending.size()); }
    std::string readAll() override {
        std::string chunk;
        chunk.swap(pending);
        return chunk;
    }
    void write(const std::string& bytes) override { written += bytes; }
    std::string takeLossReason() override {
        std::string reason;
        reason.swap(lossReason);
        return reason;
    }
    std::string deviceName(int port) const override { return "/dev/ttyS" + std::to_string(port - 1); }

    // Test controls.
    void feed(const std::string& bytes) { pending += bytes; }
    void unplug(const std::string& reason) {
        opened = false;
        lossReason = reason;
    }

    bool opened = false;
    int openedPort = 0;
    std::string openedSettings;
    int openCalls = 0;
    int failOpenWith = 0;
    std::string pending;
    std::string written;
    std::string lossReason;
};

} // namespace quorlan::testing
