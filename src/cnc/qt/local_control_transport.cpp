#include "cnc/qt/local_control_transport.h"

#include "platform/error.h"
#include "platform/runtime_folder.h"
#include "platform/socket_peer.h"

#include <QFile>

namespace quorlan::cnc {

namespace {

using platform::StationError;

// Qt words a missing server "Invalid name" and a dead one's socket file "Connection refused";
// an operator needs to hear that nothing is serving the name.
std::string whyNotReached(const QLocalSocket& socket) {
    switch (socket.error()) {
    case QLocalSocket::ServerNotFoundError:
    case QLocalSocket::ConnectionRefusedError:
        return "nothing is serving that name; is the control running?";
    case QLocalSocket::SocketAccessError:
        return "this user may not open its socket";
    default:
        return socket.errorString().toStdString();
    }
}

} // namespace

LocalControlTransport::LocalControlTransport(QString serverName, QObject* parent)
    : StreamControlTransport(m_socket, protocol::kMaxFrameBody, parent), m_name(std::move(serverName)),
      m_path(QFile::decodeName(platform::localSocketPath(QFile::encodeName(m_name).toStdString()).c_str())) {
    connect(&m_socket, &QLocalSocket::readyRead, this, &LocalControlTransport::readFrames);
    connect(&m_socket, &QLocalSocket::disconnected, this, [this] { lose("closed the connection"); });
    connect(&m_socket, &QLocalSocket::errorOccurred, this, [this](QLocalSocket::LocalSocketError error) {
        if (error != QLocalSocket::PeerClosedError) {
            lose("failed (" + m_socket.errorString().toStdString() + ")");
        }
    });
}

LocalControlTransport::~LocalControlTransport() {
    m_socket.disconnect(this);
}

std::string LocalControlTransport::where() const {
    return "the CNC control at local:" + m_name.toStdString();
}

void LocalControlTransport::open() {
    close();
    if (const std::string why = platform::socketPathProblem(QFile::encodeName(m_path).toStdString()); !why.empty()) {
        throw StationError(platform::errc::kCannotCreateObject,
                           where() + " cannot be reached: " + why +
                               ". Name a socket with a shorter path, or set XDG_RUNTIME_DIR to a folder with one.");
    }
    m_socket.connectToServer(m_path);
    if (!m_socket.waitForConnected(kConnectMilliseconds)) {
        const std::string why = whyNotReached(m_socket);
        m_socket.abort();
        throw StationError(platform::errc::kCannotCreateObject, where() + " could not be reached: " + why);
    }
    // Whoever serves the socket receives every line and can start the machine: only a control of
    // the station's own user is one.
    if (const std::string foreign = platform::foreignPeer(static_cast<int>(m_socket.socketDescriptor()),
                                                          "the program serving " + m_path.toStdString());
        !foreign.empty()) {
        m_socket.abort();
        throw StationError(platform::errc::kCannotCreateObject,
                           where() + " is refused: " + foreign +
                               ". Another user may be posing as the control; nothing was sent to it. Start cnc-sim "
                               "as this user, or name a socket in a folder of your own.");
    }
    began();
}

} // namespace quorlan::cnc
