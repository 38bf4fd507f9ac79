// The station's connections to a control served on a local socket (cnc-sim): opens them, checks
// that the control runs as the station's own user, and carries frames.
#pragma once

#include "cnc/qt/stream_control_transport.h"

#include <QLocalSocket>
#include <QString>

namespace quorlan::cnc {

class LocalControlTransport final : public StreamControlTransport {
    Q_OBJECT
public:
    // A server too stuck to accept; the kernel itself accepts or refuses a local connection at once.
    static constexpr int kConnectMilliseconds = 1000;

    // serverName: as cnc-sim --listen was given it (a name in the runtime folder, or a socket's path).
    explicit LocalControlTransport(QString serverName, QObject* parent = nullptr);
    ~LocalControlTransport() override;

    std::string where() const override;
    void open() override;

private:
    bool connected() const override { return m_socket.state() == QLocalSocket::ConnectedState; }
    void abort() override { m_socket.abort(); }
    void flush() override { m_socket.flush(); }

    QString m_name;
    QString m_path;
    QLocalSocket m_socket;
};

} // namespace quorlan::cnc
