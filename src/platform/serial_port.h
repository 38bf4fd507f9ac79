// The scanner's serial port, with the operations the station uses: open with a port number and
// a settings text such as "9600,N,8,1", the open state, the count of waiting input, reading
// everything waiting, and writing.
#pragma once

#include <cstddef>
#include <string>

namespace quorlan::platform {

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Closes the port first when it is open. Input that was waiting from before is thrown away,
    // so that it cannot be glued to the next scan; returns how many bytes that was. Throws
    // StationError when the port number has no device, the device is in use or not accessible,
    // or the settings text is not valid.
    virtual std::size_t open(int port, const std::string& settings) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual int waitingCount() = 0;
    virtual std::string readAll() = 0;
    virtual void write(const std::string& bytes) = 0;

    // When the port closed by itself since the last call (device unplugged, read error), what
    // happened, for the operator ("the device vanished"); empty otherwise.
    virtual std::string takeLossReason() = 0;
    // The device behind a port number, for messages and the settings dialog.
    virtual std::string deviceName(int port) const = 0;
};

} // namespace quorlan::platform
