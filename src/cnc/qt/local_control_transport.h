// The station's connections to a control served on a local socket (cnc-sim): opens them, checks
// that the control runs as the station's own user, and carries frames. A wait for a frame runs a
// local event loop that leaves out user input: the window keeps painting and the poll timer keeps
// framing scans, while clicks and keys wait until the call is over, so no operator action can
// start inside a half-done call.
#pragma once

#include "cnc/control_client.h"
#include "cnc/control_protocol.h"

#include <QLocalSocket>
#include <QObject>
#include <QString>
#include <deque>

class QEventLoop;

namespace quorlan::cnc {

class LocalControlTransport final : public QObject, public ControlTransport {
    Q_OBJECT
public:
    // A server too stuck to accept; the kernel itself accepts or refuses a local connection at once.
    static constexpr int kConnectMilliseconds = 1000;

    // serverName: as cnc-sim --listen was given it (a name in the runtime folder, or a socket's path).
    explicit LocalControlTransport(QString serverName, QObject* parent = nullptr);
    ~LocalControlTransport() override;

    std::string where() const override;
    void open() override;
    void close() noexcept override;
    bool isOpen() const override { return m_socket.state() == QLocalSocket::ConnectedState && !m_lost; }
    bool send(const std::string& frame) override;
    Arrival receive(std::chrono::milliseconds within) override;

private:
    void readFrames();
    void lose(const std::string& why);
    // Ends the wait of receive() once a frame or the end has come.
    void wake();

    QString m_name;
    QString m_path;
    QLocalSocket m_socket;
    protocol::FrameReader m_frames;
    std::deque<std::string> m_arrived;
    QEventLoop* m_waiting = nullptr;
    bool m_lost = false;
    std::string m_why;
};

} // namespace quorlan::cnc
