#include "cnc/qt/local_control_server.h"

#include "cnc/control_protocol.h"
#include "cnc/control_session.h"

#include <QLocalSocket>

namespace quorlan::cnc {

namespace {

// One client: its bytes are cut into requests, each answered in turn.
class Connection final : public QObject {
public:
    Connection(QLocalSocket* socket, ControlFactory& control, LocalControlServer& server)
        : QObject(&server), m_socket(socket), m_session(control), m_server(server) {
        socket->setParent(this);
        connect(socket, &QLocalSocket::readyRead, this, &Connection::serve);
        connect(socket, &QLocalSocket::disconnected, this, &QObject::deleteLater);
    }

private:
    void serve() {
        const QByteArray bytes = m_socket->readAll();
        try {
            m_frames.append(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
            while (const auto body = m_frames.next()) {
                if (const auto reply = m_session.answer(*body)) {
                    m_socket->write(reply->data(), static_cast<qint64>(reply->size()));
                    // At once, not when the event loop comes round to it after whatever else is pending.
                    m_socket->flush();
                }
            }
        } catch (const std::exception& error) {
            // After a bad frame the stream cannot be followed any more: this client starts afresh.
            emit m_server.problem(
                QStringLiteral("a client's connection was closed: %1").arg(QString::fromLocal8Bit(error.what())));
            m_socket->abort();
            deleteLater();
        }
    }

    QLocalSocket* m_socket;
    protocol::FrameReader m_frames;
    ControlSession m_session;
    LocalControlServer& m_server;
};

} // namespace

LocalControlServer::LocalControlServer(ControlFactory& control, QObject* parent) : QObject(parent), m_control(control) {
    connect(&m_server, &QLocalServer::newConnection, this, &LocalControlServer::accept);
}

QString LocalControlServer::listen(const QString& name) {
    if (m_server.listen(name)) {
        return {};
    }
    if (m_server.serverError() != QAbstractSocket::AddressInUseError) {
        return m_server.errorString();
    }
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(1000)) {
        return QStringLiteral("another server answers on %1").arg(name);
    }
    // Nobody answers: what is there was left by a server that was killed.
    QLocalServer::removeServer(name);
    return m_server.listen(name) ? QString() : m_server.errorString();
}

void LocalControlServer::accept() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        new Connection(socket, m_control, *this);
    }
}

} // namespace quorlan::cnc
