#include "cnc/qt/tcp_control_server.h"

#include "cnc/control_protocol.h"
#include "platform/socket_peer.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace quorlan::cnc {

TcpControlServer::TcpControlServer(ControlFactory& control, std::string key, QObject* parent)
    : QObject(parent), m_service(control), m_link(m_service, std::move(key), m_clock, [this](const std::string& text) {
          emit note(QString::fromStdString(text));
      }) {
    connect(&m_server, &QTcpServer::newConnection, this, &TcpControlServer::accept);
    m_expiry.setSingleShot(true);
    connect(&m_expiry, &QTimer::timeout, this, [this] {
        dropAll(m_link.expire());
        expireLater();
    });
}

TcpControlServer::~TcpControlServer() {
    // Closed before the map and the link's serving end they are noted in go; Qt would delete them
    // only with the server, after both.
    for (const auto& [id, socket] : m_sockets) {
        socket->disconnect(this);
        socket->abort();
        delete socket;
    }
}

QString TcpControlServer::listen(const QString& host, quint16 port) {
    QHostAddress address;
    if (!address.setAddress(host)) {
        return QStringLiteral("%1 is no IP address of this computer (give one, or 0.0.0.0 for all)").arg(host);
    }
    return m_server.listen(address, port) ? QString() : m_server.errorString();
}

void TcpControlServer::accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        const LinkServer::Accepted accepted =
            m_link.accept(socket->peerAddress().toString().toStdString() + ":" + std::to_string(socket->peerPort()));
        dropAll(accepted.closed);
        const LinkServer::ConnectionId id = accepted.id;
        m_sockets.emplace(id, socket);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { serve(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] {
            m_link.closed(id);
            drop(id);
        });
    }
    expireLater();
}

void TcpControlServer::serve(LinkServer::ConnectionId id) {
    const auto found = m_sockets.find(id);
    if (found == m_sockets.end()) {
        return;
    }
    QTcpSocket* socket = found->second;
    const QByteArray bytes = socket->readAll();
    const int fd = static_cast<int>(socket->socketDescriptor());
    const LinkServer::Received received =
        m_link.receive(id, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                       [fd] { return !platform::peerHungUp(fd); });
    dropAll(received.closed);
    if (received.close) {
        drop(id);
        return;
    }
    socket->write(received.send.data(), static_cast<qint64>(received.send.size()));
    socket->flush();
    if (static_cast<std::size_t>(socket->bytesToWrite()) > protocol::kMaxUnreadReplyBytes) {
        emit note(QStringLiteral("%1: closed: it left more than %2 bytes of answers unread")
                      .arg(socket->peerAddress().toString())
                      .arg(protocol::kMaxUnreadReplyBytes));
        m_link.closed(id);
        drop(id);
    }
}

void TcpControlServer::drop(LinkServer::ConnectionId id) {
    const auto found = m_sockets.find(id);
    if (found == m_sockets.end()) {
        return;
    }
    QTcpSocket* socket = found->second;
    m_sockets.erase(found);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void TcpControlServer::dropAll(const std::vector<LinkServer::ConnectionId>& ids) {
    for (const LinkServer::ConnectionId id : ids) {
        drop(id);
    }
}

void TcpControlServer::expireLater() {
    const std::int64_t next = m_link.msUntilNextExpiry();
    if (next < 0) {
        m_expiry.stop();
    } else {
        m_expiry.start(static_cast<int>(next));
    }
}

} // namespace quorlan::cnc
