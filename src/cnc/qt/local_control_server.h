// The serving end of the control protocol on a local socket (cnc-sim): each connection gets its
// own session over the one control.
#pragma once

#include "cnc/control.h"

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace quorlan::cnc {

class LocalControlServer final : public QObject {
    Q_OBJECT
public:
    explicit LocalControlServer(ControlFactory& control, QObject* parent = nullptr);

    // Starts serving under name (a name, or an absolute socket path). A socket left behind by a
    // server that ended without closing it is taken over; one that still answers is not. Returns
    // why it cannot serve, empty when it serves.
    QString listen(const QString& name);
    QString socketPath() const { return m_server.fullServerName(); }

signals:
    // A client sent what is no request, or the control failed in a way it cannot answer; that
    // client's connection is closed.
    void problem(const QString& text);

private:
    void accept();

    ControlFactory& m_control;
    QLocalServer m_server;
};

} // namespace quorlan::cnc
