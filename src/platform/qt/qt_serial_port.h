// The scanner's port over QSerialPort, opened by device path. Input is collected as it arrives;
// a port that fails while open is closed at once and its loss reported once.
#pragma once

#include "platform/serial_port.h"

#include <QObject>
#include <QSerialPort>
#include <functional>
#include <string>

namespace quorlan::platform {

class QtSerialPort final : public QObject, public SerialPort {
    Q_OBJECT
public:
    // The device of a port number; until one is given, /dev/ttyS(n-1).
    using DeviceLookup = std::function<std::string(int port)>;

    explicit QtSerialPort(QObject* parent = nullptr);
    void setDeviceLookup(DeviceLookup lookup) { m_lookup = std::move(lookup); }

    std::size_t open(int port, const SerialParameters& parameters) override;
    void close() override;
    bool isOpen() const override;
    int waitingCount() override;
    std::string readAll() override;
    void write(const std::string& bytes) override;
    std::string takeLossReason() override;
    std::string deviceName(int port) const override;

private:
    [[noreturn]] void throwOpenFailure(const std::string& device);
    void collectInput();
    void handleError(QSerialPort::SerialPortError error);
    std::size_t discardWaitingInput();
    std::string lossReason(const QString& errorText) const;
    void lose(const std::string& why);

    QSerialPort m_port;
    DeviceLookup m_lookup;
    std::string m_device;
    std::string m_buffer;
    std::string m_lossReason;
};

} // namespace quorlan::platform
