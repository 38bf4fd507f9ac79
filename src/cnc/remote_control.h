// The control's objects as seen from the station when the control runs in another process: each
// call of Application and ExeList becomes one request of the control protocol (control_protocol.h)
// over a channel, and its reply becomes the result or the StationError the call throws.
//
// An object belongs to the connection it was created on. Once that connection has ended (the
// control was stopped, restarted or answered garbage), every call on the object fails with error
// 462, as calls to a vanished automation server do; the factory connects anew, so a list
// created afterwards works again.
#pragma once

#include "cnc/control.h"
#include "cnc/control_protocol.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorlan::cnc {

// The station's end of the connection to the control's process.
class ControlChannel {
public:
    virtual ~ControlChannel() = default;

    // Opens a connection when none is open. Returns the open connection's number: each new
    // connection gets a new one. Throws StationError 429 when the control cannot be reached.
    virtual std::uint64_t connect() = 0;
    // The open connection's number, 0 while none is open.
    virtual std::uint64_t connection() const = 0;
    // Sends the request on the open connection (the channel numbers the call) and waits, for a
    // bounded time, for its reply. Throws StationError 462 when no connection is open or it ends
    // before the reply, 440 when no reply comes in time or the control answers garbage.
    virtual protocol::Reply call(protocol::Request request) = 0;
    // Sends a request that gets no reply (a release); does nothing without a connection.
    virtual void post(protocol::Request request) noexcept = 0;
};

class RemoteControl final : public ControlFactory {
public:
    explicit RemoteControl(std::shared_ptr<ControlChannel> channel) : m_channel(std::move(channel)) {}

    QUORLAN_CONTROL_FACTORY_OPERATIONS(QUORLAN_OVERRIDE_MEMBER)

private:
    // One call on the control itself, on a connection opened for it when none is open.
    template <typename Result> Result forward(Operation operation, std::vector<protocol::Value> arguments);

    std::shared_ptr<ControlChannel> m_channel;
};

} // namespace quorlan::cnc
