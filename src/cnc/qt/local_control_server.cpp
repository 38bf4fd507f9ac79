#include "cnc/qt/local_control_server.h"

#include "cnc/control_protocol.h"
#include "platform/runtime_folder.h"
#include "platform/socket_peer.h"

#include <QFileInfo>
#include <QLocalSocket>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlan::cnc {

namespace {

// One client: its bytes go to its part of the service, the answers back.
class Connection final : public QObject {
public:
    Connection(QLocalSocket* socket, ControlService& service, LocalControlServer& server, int& clients)
        : QObject(&server), m_socket(socket), m_served(service.connect()), m_server(server), m_clients(clients) {
        ++m_clients;
        socket->setParent(this);
        connect(socket, &QLocalSocket::readyRead, this, &Connection::serve);
        connect(socket, &QLocalSocket::disconnected, this, &QObject::deleteLater);
    }
    ~Connection() override { --m_clients; }

    void refuse(const QString& why) {
        emit m_server.problem(QStringLiteral("a client was disconnected: %1").arg(why));
        m_socket->abort();
        deleteLater();
    }

private:
    void serve() {
        const QByteArray bytes = m_socket->readAll();
        const int fd = static_cast<int>(m_socket->socketDescriptor());
        try {
            const std::string replies =
                m_served->receive(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                                  [fd] { return !platform::peerHungUp(fd); });
            if (m_served->ended()) {
                // Gone before its requests ran: they were given up on, and are dropped.
                m_socket->abort();
                deleteLater();
                return;
            }
            m_socket->write(replies.data(), static_cast<qint64>(replies.size()));
            // At once, not when the event loop comes round to it after whatever else is pending.
            m_socket->flush();
            if (static_cast<std::size_t>(m_socket->bytesToWrite()) > protocol::kMaxUnreadReplyBytes) {
                refuse(
                    QStringLiteral("it left more than %1 bytes of answers unread").arg(protocol::kMaxUnreadReplyBytes));
            }
        } catch (const std::exception& error) {
            // After a bad frame the stream cannot be followed any more: this client starts afresh.
            refuse(QString::fromLocal8Bit(error.what()));
        }
    }

    QLocalSocket* m_socket;
    std::unique_ptr<ServedConnection> m_served;
    LocalControlServer& m_server;
    int& m_clients;
};

// The socket file's owner, when there is one.
std::optional<uid_t> socketOwner(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        return std::nullopt;
    }
    return info.st_uid;
}

} // namespace

LocalControlServer::LocalControlServer(ControlFactory& control, QObject* parent) : QObject(parent), m_service(control) {
    // Only this user may open the socket, even where the folder would let others in.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &LocalControlServer::accept);
}

LocalControlServer::~LocalControlServer() {
    // Each connection holds its part of the service; QObject would delete them only after the
    // service, a member, is gone.
    qDeleteAll(findChildren<Connection*>(QString(), Qt::FindDirectChildrenOnly));
}

QString LocalControlServer::listen(const QString& name) {
    const QString path = QFile::decodeName(platform::localSocketPath(QFile::encodeName(name).toStdString()).c_str());
    if (const std::string why = platform::socketPathProblem(QFile::encodeName(path).toStdString()); !why.empty()) {
        return QString::fromStdString(why) +
               QStringLiteral(": serve on a shorter path, or set XDG_RUNTIME_DIR to a folder with a shorter path");
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (const std::string why = platform::privateFolderProblem(QFile::encodeName(folder).toStdString(), ::geteuid());
        !why.empty()) {
        return QStringLiteral("the folder %1 %2; whoever can enter it could take the control's place. Serve on a "
                              "name (a socket in $XDG_RUNTIME_DIR) or in a folder of your own with mode 0700")
            .arg(folder, QString::fromStdString(why));
    }
    // Qt moves a socket made with access options into place over whatever is there: what is there
    // is looked at first.
    if (const auto owner = socketOwner(path)) {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(1000)) {
            return QStringLiteral("another server answers on %1").arg(path);
        }
        // Nobody answers: what is there was left by a server that was killed; only one of this
        // user's own is taken over.
        if (*owner != ::geteuid()) {
            return QStringLiteral("%1 belongs to user %2, not to this user; it is left alone")
                .arg(path, QString::fromStdString(platform::userNameOf(*owner)));
        }
        QLocalServer::removeServer(path);
    }
    return m_server.listen(path) ? QString() : m_server.errorString();
}

void LocalControlServer::accept() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        auto* connection = new Connection(socket, m_service, *this, m_clients);
        const std::string foreign = platform::foreignPeer(static_cast<int>(socket->socketDescriptor()), "the client");
        if (!foreign.empty()) {
            connection->refuse(QString::fromStdString(foreign) +
                               QStringLiteral("; only this user's station is served"));
        } else if (static_cast<std::size_t>(m_clients) > protocol::kMaxClients) {
            connection->refuse(QStringLiteral("more than %1 clients at once").arg(protocol::kMaxClients));
        }
    }
}

} // namespace quorlan::cnc
