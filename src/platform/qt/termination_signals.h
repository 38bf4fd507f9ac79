// SIGTERM, SIGINT and SIGHUP end the station as closing its window does: the port is closed (and
// its lock file removed) and the control let go, instead of the process vanishing mid-way and
// leaving a stale lock for the next start to trip over.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace quorlan::platform {

class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    // One per process: the signal handlers are the process's.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    // Emitted in the event loop, not in the signal handler.
    void requested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace quorlan::platform
