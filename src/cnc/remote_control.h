// The control's objects as seen from the station when the control runs in another process: each
// call of Application and ExeList becomes one request of the control protocol (control_protocol.h)
// through the station's client (control_client.h), and its reply becomes the result or the
// StationError the call throws.
//
// An object belongs to the session it was created in, which outlives a connection: after a slow
// answer the station reconnects and finds its list as it was. Once the session is gone (the
// control was restarted), every call on the object fails with error 462 without reaching the
// control, as calls to a vanished automation server do; objects created afterwards work again.
#pragma once

#include "cnc/control.h"
#include "cnc/control_client.h"

#include <memory>
#include <vector>

namespace quorlan::cnc {

class RemoteControl final : public ControlFactory {
public:
    explicit RemoteControl(std::shared_ptr<ControlClient> client) : m_client(std::move(client)) {}

    QUORLAN_CONTROL_FACTORY_OPERATIONS(QUORLAN_OVERRIDE_MEMBER)

    bool awaitingOutcomes() const override { return m_client->awaitingOutcomes(); }
    void learnOutcomes() override { m_client->learnOutcomes(); }
    std::vector<LateOutcome> takeLateOutcomes() override { return m_client->takeLateOutcomes(); }

private:
    // One call on the control itself.
    template <typename Result> Result forward(Operation operation, std::vector<protocol::Value> arguments);

    std::shared_ptr<ControlClient> m_client;
};

} // namespace quorlan::cnc
