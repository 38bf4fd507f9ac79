// The scanner's serial port, with the operations the station uses: open with a port number and
// the line's parameters, the open state, the count of waiting input, reading everything waiting,
// and writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorlan::platform {

enum class Parity { None, Odd, Even, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };

// The line's parameters, as the settings give them in a text such as "9600,N,8,1".
struct SerialParameters {
    std::int32_t baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;
};

// The parameters as a settings text: "9600,N,8,1", "115200,E,7,1.5".
std::string settingsText(const SerialParameters& parameters);

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Closes the port first when it is open. Input that was waiting from before is thrown away,
    // so that it cannot be glued to the next scan; returns how many bytes that was. Throws
    // StationError when the port number has no device, the device is in use or not accessible,
    // or the device does not take the parameters.
    virtual std::size_t open(int port, const SerialParameters& parameters) = 0;
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
