// The serving end of the control protocol on a local socket (cnc-sim): carries each client's bytes
// to the service (control_session.h) and its answers back, tells it whether the client is still
// there, serves only clients of its own user, and disconnects a client that exceeds its bounds.
#pragma once

#include "cnc/control.h"
#include "cnc/control_session.h"

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace quorlan::cnc {

class LocalControlServer final : public QObject {
    Q_OBJECT
public:
    explicit LocalControlServer(ControlFactory& control, QObject* parent = nullptr);
    ~LocalControlServer() override;

    // Starts serving under name: a name (a socket in the runtime folder) or a socket's path, in a
    // folder that only this user can enter. A socket of this user left behind by a server that
    // ended without closing it is taken over; one that still answers, or another user's, is not.
    // Returns why it cannot serve, empty when it serves.
    QString listen(const QString& name);
    QString socketPath() const { return m_server.fullServerName(); }

    const ControlService& service() const { return m_service; }

signals:
    // A client was refused or disconnected, and why.
    void problem(const QString& text);

private:
    void accept();

    ControlService m_service;
    QLocalServer m_server;
    int m_clients = 0;
};

} // namespace quorlan::cnc
