#include "cnc/qt/tcp_control_transport.h"

#include "cnc/control_link.h"
#include "platform/crypto.h"
#include "platform/error.h"

namespace quorlan::cnc {

namespace {

// What an operator can check for each way a connection fails.
std::string whyNotReached(const QTcpSocket& socket, quint16 port) {
    switch (socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return "nothing accepts connections on port " + std::to_string(port) +
               " there; is the bridge running on the control's PC, and serving that port?";
    case QAbstractSocket::HostNotFoundError:
        return "no computer of that name is known; check the address";
    case QAbstractSocket::SocketTimeoutError:
        return "no answer within " + std::to_string(TcpControlTransport::kConnectMilliseconds / 1000) +
               " s; is the control's PC on and on the network, and the port open in its firewall?";
    case QAbstractSocket::NetworkError:
        return "the network failed (" + socket.errorString().toStdString() + "); is this computer on the network?";
    default:
        return socket.errorString().toStdString();
    }
}

} // namespace

TcpControlTransport::TcpControlTransport(QString host, quint16 port, QObject* parent)
    // A record holds a whole frame of the protocol and its MAC.
    : StreamControlTransport(m_socket, static_cast<std::uint32_t>(kMaxRecordPayload + platform::kMacSize), parent),
      m_host(std::move(host)), m_port(port) {
    connect(&m_socket, &QTcpSocket::readyRead, this, &TcpControlTransport::readFrames);
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] { lose("closed the connection"); });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError) {
            lose("failed (" + m_socket.errorString().toStdString() + ")");
        }
    });
}

TcpControlTransport::~TcpControlTransport() {
    m_socket.disconnect(this);
}

std::string TcpControlTransport::where() const {
    return "the CNC control at tcp:" + m_host.toStdString() + ":" + std::to_string(m_port);
}

void TcpControlTransport::open() {
    close();
    m_socket.connectToHost(m_host, m_port);
    if (!m_socket.waitForConnected(kConnectMilliseconds)) {
        const std::string why = whyNotReached(m_socket, m_port);
        m_socket.abort();
        throw platform::StationError(platform::errc::kCannotCreateObject, where() + " could not be reached: " + why);
    }
    // Each call is one small frame that waits for its answer: sent at once, not held back to be
    // joined with more.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    began();
}

} // namespace quorlan::cnc
