// The serving end of the control protocol (control_protocol.h), without a socket: the sessions
// of the stations served, each with the objects handed out in it and the outcomes of its calls,
// and one connection's part, which greets, runs requests and codes replies. The socket adapters
// (cnc-sim's, the bridge's) only carry bytes and tell whether the peer is still there.
#pragma once

#include "cnc/control.h"
#include "cnc/control_protocol.h"
#include "platform/clock.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>

namespace quorlan::cnc {

// One station's objects and the outcomes of its calls.
class ControlSession final {
public:
    // More live objects than a station ever holds: a client that keeps asking is refused.
    static constexpr std::size_t kMaxObjects = 4096;

    explicit ControlSession(ControlFactory& control) : m_control(control) {}

    // Runs the request: its reply, or nothing for a release. A failing operation is answered with
    // its error; either way the call's outcome is recorded.
    std::optional<protocol::Reply> answer(const protocol::Request& request);

    // What became of a call, as a greeting asks it.
    protocol::AskedCall outcomeOf(std::uint32_t call) const;

    std::size_t objectCount() const { return m_objects.size(); }

private:
    using HeldObject = std::variant<std::shared_ptr<Application>, std::shared_ptr<ExeList>>;

    protocol::Value perform(const protocol::Request& request);
    template <typename Object> auto target(const protocol::Request& request);
    template <typename Object, typename Result, typename... Parameters>
    protocol::Value invoke(Object& object, Result (Object::*method)(Parameters...), const protocol::Request& request);
    template <typename Object> protocol::ObjectHandle keep(std::shared_ptr<Object> object);
    std::uint32_t newHandle();
    void remember(std::uint32_t call, std::int32_t error);

    ControlFactory& m_control;
    std::unordered_map<std::uint32_t, HeldObject> m_objects;
    std::uint32_t m_lastHandle = 0;
    std::deque<std::pair<std::uint32_t, std::int32_t>> m_ran; // call, error; the newest last
    std::optional<std::uint32_t> m_highestForgotten;
};

class ControlService;

// One client's connection: its bytes in, the frames to send back out.
class ServedConnection final {
public:
    ServedConnection(ControlService& service, std::uint64_t id) : m_service(service), m_id(id) {}
    ~ServedConnection();
    ServedConnection(const ServedConnection&) = delete;
    ServedConnection& operator=(const ServedConnection&) = delete;

    // Takes bytes as they arrive and returns what to send back. Just before it greets or runs
    // each request it asks peerStillThere(); once that says no, nothing more of this connection
    // is run. A request that comes later than the station's bound allows is answered with
    // kTooLate and not run. Throws protocol::ProtocolError when the client broke the protocol or a
    // bound, or its session was taken over by a newer connection: the connection must be closed
    // then.
    std::string receive(std::string_view bytes, const std::function<bool()>& peerStillThere);

    // The peer hung up: nothing more is run.
    bool ended() const { return m_ended; }

private:
    std::string greet(std::string_view body);
    std::optional<std::string> serve(std::string_view body);
    bool late(const protocol::Request& request) const;

    ControlService& m_service;
    std::uint64_t m_id;
    protocol::FrameReader m_frames;
    std::optional<protocol::Token> m_session;
    std::uint32_t m_boundMs = 0;
    bool m_ended = false;
};

class ControlService final {
public:
    using TokenSource = std::function<protocol::Token()>;

    // Tokens come from the system's random source and the control's clock from the system's
    // steady clock, unless a test gives its own.
    explicit ControlService(ControlFactory& control, TokenSource newToken = {}, platform::Clock* clock = nullptr);

    std::unique_ptr<ServedConnection> connect() {
        return std::make_unique<ServedConnection>(*this, ++m_lastConnection);
    }

    std::size_t sessionCount() const { return m_sessions.size(); }
    // The control's clock, as replies tell it.
    protocol::ControlClock clock() const;
    // The objects held in every session together.
    std::size_t objectCount() const;

private:
    friend class ServedConnection;
    struct Entry {
        ControlSession session;
        std::uint64_t attachedTo = 0; // the connection that speaks for it, 0 when none
        std::uint64_t lastDetached = 0;
    };

    // Attaches the asked session to the connection, or a new one; whether it was resumed.
    std::pair<protocol::Token, bool> attach(const protocol::Token& asked, std::uint64_t connection);
    void detach(const protocol::Token& token, std::uint64_t connection);
    ControlSession* attachedSession(const protocol::Token& token, std::uint64_t connection);
    void makeRoom();

    ControlFactory& m_control;
    TokenSource m_newToken;
    platform::SystemClock m_systemClock;
    platform::Clock& m_clock;
    std::map<protocol::Token, Entry> m_sessions;
    std::uint64_t m_lastConnection = 0;
    std::uint64_t m_detachments = 0;
};

} // namespace quorlan::cnc
