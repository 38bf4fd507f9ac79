// The scanner's end of the serial line: raw mode at the chosen speed, writes that finish, and
// reads with a deadline.
#pragma once

#include <chrono>
#include <string>

namespace quorlan::scan_tool {

class ScannerLine {
public:
    // Throws std::runtime_error naming the device and the reason when it cannot be opened.
    ScannerLine(const std::string& device, int baud);
    ~ScannerLine();
    ScannerLine(const ScannerLine&) = delete;
    ScannerLine& operator=(const ScannerLine&) = delete;

    // Drops whatever the station sent before now.
    void discardInput();
    // Throws std::runtime_error when the line refuses the bytes.
    void write(const std::string& bytes);
    // What arrives before the deadline, returned as soon as something came; empty when nothing did.
    std::string read(std::chrono::steady_clock::time_point deadline);

private:
    std::string m_device;
    int m_fd = -1;
};

} // namespace quorlan::scan_tool
