#include "platform/qt/qt_serial_port.h"

#include "platform/error.h"
#include "platform/qt/port_diagnosis.h"

#include <QFile>
#include <algorithm>
#include <climits>
#include <sys/ioctl.h>

namespace quorlan::platform {

namespace {

QSerialPort::Parity toQt(Parity parity) {
    switch (parity) {
    case Parity::Odd:
        return QSerialPort::OddParity;
    case Parity::Even:
        return QSerialPort::EvenParity;
    case Parity::Mark:
        return QSerialPort::MarkParity;
    case Parity::Space:
        return QSerialPort::SpaceParity;
    case Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(StopBits stopBits) {
    switch (stopBits) {
    case StopBits::OneAndHalf:
        return QSerialPort::OneAndHalfStop;
    case StopBits::Two:
        return QSerialPort::TwoStop;
    case StopBits::One:
        break;
    }
    return QSerialPort::OneStop;
}

bool deviceExists(const std::string& device) {
    return QFile::exists(QFile::decodeName(device.c_str()));
}

std::string text(const QString& value) {
    return value.toLocal8Bit().toStdString();
}

} // namespace

QtSerialPort::QtSerialPort(QObject* parent) : QObject(parent) {
    connect(&m_port, &QSerialPort::readyRead, this, &QtSerialPort::collectInput);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPort::handleError);
}

std::size_t QtSerialPort::open(int port, const SerialParameters& parameters) {
    close();
    const std::string device = deviceName(port);
    if (port < 1 || device.empty() || !deviceExists(device)) {
        throw StationError(errc::kInvalidPortNumber,
                           "Invalid port number: COM" + std::to_string(port) +
                               (device.empty() ? " has no device" : " has no device " + device));
    }
    m_port.setPortName(QFile::decodeName(device.c_str()));
    if (!m_port.open(QIODevice::ReadWrite)) {
        throwOpenFailure(device);
    }
    const bool accepted = m_port.setBaudRate(parameters.baud) && m_port.setParity(toQt(parameters.parity)) &&
                          m_port.setDataBits(static_cast<QSerialPort::DataBits>(parameters.dataBits)) &&
                          m_port.setStopBits(toQt(parameters.stopBits));
    if (!accepted) {
        const std::string why = text(m_port.errorString());
        m_port.close();
        throw StationError(errc::kPortOpenFailed,
                           device + " does not accept the settings " + settingsText(parameters) + ": " + why);
    }
    m_device = device;
    m_buffer.clear();
    m_lossReason.clear();
    return discardWaitingInput();
}

// Bytes that reached the line while nobody listened belong to scans that got no "ACK"; glued to
// the next scan they would make a part nobody scanned.
std::size_t QtSerialPort::discardWaitingInput() {
    const auto buffered = static_cast<std::size_t>(m_port.bytesAvailable());
    const int fd = static_cast<int>(m_port.handle());
    int waiting = 0;
    if (fd < 0 || ::ioctl(fd, FIONREAD, &waiting) != 0 || waiting < 0) {
        waiting = 0;
    }
    m_port.clear(QSerialPort::Input);
    return buffered + static_cast<std::size_t>(waiting);
}

void QtSerialPort::throwOpenFailure(const std::string& device) {
    const QSerialPort::SerialPortError error = m_port.error();
    const std::string why = text(m_port.errorString());
    m_port.clearError();
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        throw StationError(errc::kInvalidPortNumber, "Invalid port number: " + device + " was not found");
    case QSerialPort::PermissionError:
        throw diagnosePermissionFailure(device, defaultLockFolders());
    default:
        throw StationError(errc::kPortOpenFailed, "The port " + device + " could not be opened: " + why);
    }
}

void QtSerialPort::close() {
    if (m_port.isOpen()) {
        m_port.close();
    }
    m_buffer.clear();
}

bool QtSerialPort::isOpen() const {
    return m_port.isOpen();
}

int QtSerialPort::waitingCount() {
    // A hang-up can go unreported, with reads returning nothing forever: a quiet port checks that
    // its device is still there.
    if (m_buffer.empty() && m_port.isOpen() && !deviceExists(m_device)) {
        lose("the device vanished");
    }
    return static_cast<int>(std::min<std::size_t>(m_buffer.size(), INT_MAX));
}

std::string QtSerialPort::readAll() {
    std::string chunk;
    chunk.swap(m_buffer);
    return chunk;
}

void QtSerialPort::write(const std::string& bytes) {
    if (!m_port.isOpen()) {
        return;
    }
    m_port.write(bytes.data(), static_cast<qint64>(bytes.size()));
    m_port.flush();
}

std::string QtSerialPort::takeLossReason() {
    std::string reason;
    reason.swap(m_lossReason);
    return reason;
}

std::string QtSerialPort::deviceName(int port) const {
    if (m_lookup) {
        return m_lookup(port);
    }
    return port < 1 ? std::string{} : "/dev/ttyS" + std::to_string(port - 1);
}

void QtSerialPort::collectInput() {
    const QByteArray chunk = m_port.readAll();
    m_buffer.append(chunk.constData(), static_cast<std::size_t>(chunk.size()));
}

void QtSerialPort::handleError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
    case QSerialPort::DeviceNotFoundError:
        // After a hang-up some drivers report the same error in a tight loop until the port is
        // closed, so the first report closes it.
        if (m_port.isOpen()) {
            lose(lossReason(m_port.errorString()));
        }
        break;
    default:
        // Modem-line calls fail on pseudo-terminals; that, and a failed write, leave the port usable.
        break;
    }
}

// The serial library often knows no more than "Unknown error"; what happened is then told by
// whether the device is still there.
std::string QtSerialPort::lossReason(const QString& errorText) const {
    if (!deviceExists(m_device)) {
        return "the device vanished";
    }
    if (errorText.isEmpty() || errorText == QStringLiteral("Unknown error")) {
        return "the device hung up";
    }
    return text(errorText);
}

void QtSerialPort::lose(const std::string& why) {
    m_lossReason = why;
    m_port.close();
    m_port.clearError();
}

} // namespace quorlan::platform
