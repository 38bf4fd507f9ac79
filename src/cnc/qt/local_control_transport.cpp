#include "cnc/qt/local_control_transport.h"

#include "platform/error.h"
#include "platform/runtime_folder.h"
#include "platform/socket_peer.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>

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
    : QObject(parent), m_name(std::move(serverName)),
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
    m_lost = false;
    m_why.clear();
}

void LocalControlTransport::close() noexcept {
    m_socket.abort();
    m_frames = {};
    m_arrived.clear();
    m_lost = true;
}

bool LocalControlTransport::send(const std::string& frame) {
    if (!isOpen()) {
        return false;
    }
    m_socket.write(frame.data(), static_cast<qint64>(frame.size()));
    m_socket.flush();
    return isOpen();
}

Arrival LocalControlTransport::receive(std::chrono::milliseconds within) {
    readFrames();
    if (m_arrived.empty() && isOpen()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(within.count()));
        m_waiting = &loop;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        m_waiting = nullptr;
    }
    if (!m_arrived.empty()) {
        Arrival arrival{Arrival::Kind::Frame, std::move(m_arrived.front()), {}};
        m_arrived.pop_front();
        return arrival;
    }
    if (!isOpen()) {
        return {Arrival::Kind::Closed, {}, m_why.empty() ? std::string("closed the connection") : m_why};
    }
    return {Arrival::Kind::TimedOut, {}, {}};
}

void LocalControlTransport::readFrames() {
    if (m_lost || m_socket.state() != QLocalSocket::ConnectedState) {
        return;
    }
    try {
        const QByteArray bytes = m_socket.readAll();
        m_frames.append(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        while (auto body = m_frames.next()) {
            m_arrived.push_back(std::move(*body));
        }
        wake();
    } catch (const protocol::ProtocolError& error) {
        lose(std::string("answered with bytes that are no frame (") + error.what() + ")");
    }
}

void LocalControlTransport::lose(const std::string& why) {
    if (m_lost) {
        return;
    }
    // Frames that came before the end still count.
    readFrames();
    if (m_lost) {
        return;
    }
    m_lost = true;
    m_why = why;
    m_socket.abort();
    wake();
}

void LocalControlTransport::wake() {
    if (m_waiting != nullptr && (!m_arrived.empty() || m_lost)) {
        m_waiting->quit();
    }
}

} // namespace quorlan::cnc
