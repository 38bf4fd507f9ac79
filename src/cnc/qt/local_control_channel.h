// The station's end of the control protocol on a local socket (the control served by cnc-sim).
//
// A call waits for its reply in a local event loop that leaves out user input: the window keeps
// painting and the poll timer keeps framing scans, while clicks and keys wait until the call is
// over, so no operator action can start inside a half-done call. The wait is bounded; a reply that
// comes after it is dropped. Connecting needs no wait of its own: the kernel accepts or refuses a
// local connection at once, so its short bound only matters for a server too stuck to accept.
#pragma once

#include "cnc/control_protocol.h"
#include "cnc/remote_control.h"

#include <QLocalSocket>
#include <QObject>
#include <QString>
#include <map>
#include <optional>

class QEventLoop;

namespace quorlan::cnc {

class LocalControlChannel final : public QObject, public ControlChannel {
    Q_OBJECT
public:
    static constexpr int kConnectMilliseconds = 1000;
    static constexpr int kReplyMilliseconds = 2000;

    // serverName: as cnc-sim --listen was given it (a name, or the socket's absolute path).
    explicit LocalControlChannel(QString serverName, int replyMilliseconds = kReplyMilliseconds,
                                 QObject* parent = nullptr);
    ~LocalControlChannel() override;

    std::uint64_t connect() override;
    std::uint64_t connection() const override { return m_connection; }
    protocol::Reply call(protocol::Request request) override;
    void post(protocol::Request request) noexcept override;

private:
    struct Waiter {
        QEventLoop* loop;
        std::optional<protocol::Reply> reply;
    };
    // Why the last connection ended, as the failing call reports it: what the control did
    // ("closed the connection").
    struct Loss {
        int number = 0;
        std::string description;
    };

    void readReplies();
    void lose(int number, const std::string& why);
    std::string where() const;

    QString m_name;
    int m_replyMilliseconds;
    QLocalSocket m_socket;
    protocol::FrameReader m_frames;
    std::map<std::uint32_t, Waiter*> m_waiting;
    std::uint32_t m_lastCall = 0;
    std::uint64_t m_connection = 0;
    std::uint64_t m_connectionsMade = 0;
    Loss m_loss;
};

} // namespace quorlan::cnc
