// What the station's connections to a control over a socket have in common, whatever the socket
// (local, TCP): frames cut from the stream as it arrives, and a wait for a frame that runs a local
// event loop leaving out user input: the window keeps painting and the poll timer keeps framing
// scans, while clicks and keys wait until the call is over, so no operator action can start inside
// a half-done call.
#pragma once

#include "cnc/control_client.h"
#include "cnc/control_protocol.h"

#include <QIODevice>
#include <QObject>
#include <deque>

class QEventLoop;

namespace quorlan::cnc {

class StreamControlTransport : public QObject, public ControlTransport {
public:
    bool isOpen() const override { return connected() && !m_lost; }
    void close() noexcept override;
    bool send(const std::string& frame) override;
    Arrival receive(std::chrono::milliseconds within) override;

protected:
    // device: the socket, a member of the derived class; maxBody: the longest frame body taken.
    StreamControlTransport(QIODevice& device, std::uint32_t maxBody, QObject* parent);

    virtual bool connected() const = 0;
    virtual void abort() = 0;
    // Writes what is buffered now, not when the event loop comes round to it.
    virtual void flush() = 0;

    // A connection has just been opened.
    void began();
    // The connection ended or failed, and why, worded to follow where().
    void lose(const std::string& why);
    void readFrames();

private:
    // Ends the wait of receive() once a frame or the end has come.
    void wake();

    QIODevice& m_device;
    std::uint32_t m_maxBody;
    protocol::FrameReader m_frames;
    std::deque<std::string> m_arrived;
    QEventLoop* m_waiting = nullptr;
    bool m_lost = true;
    std::string m_why;
};

} // namespace quorlan::cnc
