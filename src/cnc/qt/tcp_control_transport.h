// The station's connections to a control across a network (the bridge on the control's PC, or
// cnc-sim serving TCP): TCP connections that carry the control link's frames (control_link.h),
// which AuthenticatedTransport makes and checks.
#pragma once

#include "cnc/qt/stream_control_transport.h"

#include <QString>
#include <QTcpSocket>

namespace quorlan::cnc {

class TcpControlTransport final : public StreamControlTransport {
    Q_OBJECT
public:
    // Across a shop network a control PC that is on answers within far less.
    static constexpr int kConnectMilliseconds = 3000;

    TcpControlTransport(QString host, quint16 port, QObject* parent = nullptr);
    ~TcpControlTransport() override;

    std::string where() const override;
    void open() override;

private:
    bool connected() const override { return m_socket.state() == QAbstractSocket::ConnectedState; }
    void abort() override { m_socket.abort(); }
    void flush() override { m_socket.flush(); }

    QString m_host;
    quint16 m_port;
    QTcpSocket m_socket;
};

} // namespace quorlan::cnc
