#include "cnc/qt/local_control_channel.h"

#include "platform/error.h"

#include <QEventLoop>
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

LocalControlChannel::LocalControlChannel(QString serverName, int replyMilliseconds, QObject* parent)
    : QObject(parent), m_name(std::move(serverName)), m_replyMilliseconds(replyMilliseconds) {
    QObject::connect(&m_socket, &QLocalSocket::readyRead, this, &LocalControlChannel::readReplies);
    QObject::connect(&m_socket, &QLocalSocket::disconnected, this,
                     [this] { lose(platform::errc::kServerUnavailable, "closed the connection"); });
    QObject::connect(&m_socket, &QLocalSocket::errorOccurred, this, [this](QLocalSocket::LocalSocketError error) {
        if (error != QLocalSocket::PeerClosedError) {
            lose(platform::errc::kServerUnavailable, "failed (" + m_socket.errorString().toStdString() + ")");
        }
    });
}

LocalControlChannel::~LocalControlChannel() {
    m_socket.disconnect(this);
}

std::string LocalControlChannel::where() const {
    return "the CNC control at local:" + m_name.toStdString();
}

std::uint64_t LocalControlChannel::connect() {
    if (m_connection != 0 && m_socket.state() == QLocalSocket::ConnectedState) {
        return m_connection;
    }
    m_socket.abort();
    m_frames = {};
    m_socket.connectToServer(m_name);
    if (!m_socket.waitForConnected(kConnectMilliseconds)) {
        const std::string why = whyNotReached(m_socket);
        m_socket.abort();
        throw StationError(platform::errc::kCannotCreateObject,
                           platform::describeError(platform::errc::kCannotCreateObject) + ": " + where() +
                               " cannot be reached (" + why + ")");
    }
    m_connection = ++m_connectionsMade;
    m_loss = {};
    return m_connection;
}

protocol::Reply LocalControlChannel::call(protocol::Request request) {
    const std::string operation(protocol::operationName(request.operation));
    if (m_connection == 0) {
        throw StationError(platform::errc::kServerUnavailable,
                           platform::describeError(platform::errc::kServerUnavailable) + ": " + where() + " " +
                               (m_loss.description.empty() ? "is not connected" : m_loss.description));
    }
    // Call number 0 is never used, so a reply that says 0 answers nothing.
    request.call = ++m_lastCall == 0 ? ++m_lastCall : m_lastCall;
    const std::uint64_t sentOn = m_connection;
    const QByteArray frame = QByteArray::fromStdString(protocol::encodeRequest(request));
    m_socket.write(frame);
    m_socket.flush();

    QEventLoop loop;
    Waiter waiter{&loop, std::nullopt};
    m_waiting[request.call] = &waiter;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(m_replyMilliseconds);
    // The reply may have come in while the request was being flushed.
    readReplies();
    if (!waiter.reply && m_connection == sentOn) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    m_waiting.erase(request.call);

    if (waiter.reply) {
        return std::move(*waiter.reply);
    }
    if (m_connection != sentOn) {
        throw StationError(m_loss.number, platform::describeError(m_loss.number) + ": " + where() + " " +
                                              m_loss.description + " before it answered " + operation);
    }
    throw StationError(platform::errc::kAutomation, platform::describeError(platform::errc::kAutomation) + ": " +
                                                        where() + " did not answer " + operation + " within " +
                                                        std::to_string(m_replyMilliseconds) + " ms");
}

void LocalControlChannel::post(protocol::Request request) noexcept {
    if (m_connection == 0) {
        return;
    }
    try {
        m_socket.write(QByteArray::fromStdString(protocol::encodeRequest(request)));
        m_socket.flush();
    } catch (...) {
        // a release that cannot be sent is forgotten with the connection
    }
}

void LocalControlChannel::readReplies() {
    if (m_connection == 0) {
        return;
    }
    try {
        const QByteArray bytes = m_socket.readAll();
        m_frames.append(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        while (const auto body = m_frames.next()) {
            protocol::Reply reply = protocol::decodeReply(*body);
            if (const auto waiting = m_waiting.find(reply.call); waiting != m_waiting.end()) {
                waiting->second->reply = std::move(reply);
                waiting->second->loop->quit();
            }
            // else: the answer to a call that gave up waiting
        }
    } catch (const protocol::ProtocolError& error) {
        lose(platform::errc::kAutomation, std::string("answered with bytes that are no reply (") + error.what() + ")");
    }
}

// Every waiting call wakes and fails; objects of the connection fail from now on.
void LocalControlChannel::lose(int number, const std::string& why) {
    if (m_connection == 0) {
        return;
    }
    m_connection = 0;
    m_loss = {number, why};
    m_frames = {};
    m_socket.abort();
    for (const auto& [call, waiter] : m_waiting) {
        waiter->loop->quit();
    }
}

} // namespace quorlan::cnc
