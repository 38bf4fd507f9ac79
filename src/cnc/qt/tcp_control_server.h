// The serving end of the control link across a network, on TCP (cnc-sim --listen tcp:HOST:PORT):
// carries each connection's bytes to the link's serving end (control_link_server.h) and its
// answers back, closes what it is told to, and ends connections whose time to prove the key is up.
#pragma once

#include "cnc/control.h"
#include "cnc/control_link_server.h"
#include "cnc/control_session.h"
#include "platform/clock.h"

#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTimer>
#include <map>

class QTcpSocket;

namespace quorlan::cnc {

class TcpControlServer final : public QObject {
    Q_OBJECT
public:
    // key: the shared key's bytes.
    TcpControlServer(ControlFactory& control, std::string key, QObject* parent = nullptr);
    ~TcpControlServer() override;

    // Starts serving on host (an address of this computer, 0.0.0.0 for all) and port. Returns why
    // it cannot serve, empty when it serves.
    QString listen(const QString& host, quint16 port);
    quint16 port() const { return m_server.serverPort(); }

signals:
    // A connection was refused or closed, or a station was let in, and why.
    void note(const QString& text);

private:
    void accept();
    void serve(LinkServer::ConnectionId id);
    void drop(LinkServer::ConnectionId id);
    void dropAll(const std::vector<LinkServer::ConnectionId>& ids);
    void expireLater();

    ControlService m_service;
    platform::SystemClock m_clock;
    LinkServer m_link;
    QTcpServer m_server;
    QTimer m_expiry;
    std::map<LinkServer::ConnectionId, QTcpSocket*> m_sockets;
};

} // namespace quorlan::cnc
