// A control channel without a socket: each request is coded, framed, answered by a session over
// a simulator and decoded again, as it would cross between two processes. The simulator on the
// far side can be stopped and replaced, as a control that is killed and restarted.
#pragma once

#include "cnc/control_protocol.h"
#include "cnc/control_session.h"
#include "cnc/remote_control.h"
#include "platform/error.h"

#include <memory>

namespace quorlan::testing {

class LoopbackChannel final : public cnc::ControlChannel {
public:
    explicit LoopbackChannel(cnc::ControlFactory& control) : m_control(&control) {}

    std::uint64_t connect() override {
        if (!m_session) {
            if (m_control == nullptr) {
                throw platform::StationError(platform::errc::kCannotCreateObject);
            }
            m_session = std::make_unique<cnc::ControlSession>(*m_control);
            m_connection = ++m_connectionsMade;
        }
        return m_connection;
    }
    std::uint64_t connection() const override { return m_session ? m_connection : 0; }
    cnc::protocol::Reply call(cnc::protocol::Request request) override {
        if (!m_session) {
            throw platform::StationError(platform::errc::kServerUnavailable);
        }
        request.call = ++m_lastCall;
        const auto reply = cross(cnc::protocol::encodeRequest(request));
        return cnc::protocol::decodeReply(unframe(reply.value()));
    }
    void post(cnc::protocol::Request request) noexcept override {
        if (m_session) {
            cross(cnc::protocol::encodeRequest(request));
        }
    }

    // The control ends (nullptr) or another takes its place; either way the connection is gone.
    void replaceControl(cnc::ControlFactory* control) {
        m_session.reset();
        m_control = control;
    }
    const cnc::ControlSession* session() const { return m_session.get(); }

private:
    std::optional<std::string> cross(const std::string& frame) { return m_session->answer(unframe(frame)); }
    static std::string unframe(const std::string& frame) {
        cnc::protocol::FrameReader reader;
        reader.append(frame);
        return reader.next().value();
    }

    cnc::ControlFactory* m_control;
    std::unique_ptr<cnc::ControlSession> m_session;
    std::uint64_t m_connection = 0;
    std::uint64_t m_connectionsMade = 0;
    std::uint32_t m_lastCall = 0;
};

} // namespace quorlan::testing
