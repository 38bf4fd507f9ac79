// The station's end of the control protocol (control_protocol.h), without a socket: the session
// it keeps with the control, the bound of each call, and the calls whose outcome is not known
// yet. A transport (a local socket here, an authenticated network link elsewhere) only opens
// connections and carries frames.
//
// When a call's answer does not come within the bound, or the connection fails or carries
// garbage, the connection is closed at once (the control then drops whatever of it still waits,
// unread) and the call is held as unresolved. The next greeting asks the control what became of
// it; the answer is final, and is handed out once through takeLateOutcomes(). Each request carries
// the control's clock as reckoned here, so that the control runs it only within the bound.
#pragma once

#include "cnc/control.h"
#include "cnc/control_protocol.h"
#include "platform/clock.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorlan::cnc {

struct Arrival {
    enum class Kind { Frame, TimedOut, Closed };
    Kind kind = Kind::TimedOut;
    std::string body; // with Frame
    std::string why;  // with Closed: what the control did, worded to follow where() ("closed the connection")
};

class ControlTransport {
public:
    virtual ~ControlTransport() = default;

    // The control as messages name it: "the CNC control at local:NAME".
    virtual std::string where() const = 0;
    // Opens a new connection, closing one that is open. Throws platform::StationError
    // (errc::kCannotCreateObject) that says why the control cannot be reached.
    virtual void open() = 0;
    virtual void close() noexcept = 0;
    // False once the connection has ended, whichever end ended it.
    virtual bool isOpen() const = 0;
    // Sends one whole frame; false when the connection has failed.
    virtual bool send(const std::string& frame) = 0;
    // The next frame's body, or why none came within the time.
    virtual Arrival receive(std::chrono::milliseconds within) = 0;
};

class ControlClient final {
public:
    static constexpr std::chrono::milliseconds kDefaultBound{2000};
    // Objects let go while no connection is open, released once one is.
    static constexpr std::size_t kMaxQueuedReleases = 1024;

    // The bound is at most protocol::kMaxBoundMs. The clock is the system's steady clock unless a
    // test gives its own.
    explicit ControlClient(std::unique_ptr<ControlTransport> transport, std::chrono::milliseconds bound = kDefaultBound,
                           platform::Clock* clock = nullptr);

    std::string where() const { return m_transport->where(); }
    std::chrono::milliseconds bound() const { return m_bound; }

    // The session that holds the station's objects at the control, numbered here: each new
    // session gets a new number, 0 before the first.
    std::uint64_t session() const { return m_session; }

    // Opens a connection and greets the control unless a greeted one is open, learning on the way
    // what became of unresolved calls. Returns the session. Throws platform::StationError
    // (errc::kCannotCreateObject) when the control cannot be reached or does not answer the greeting
    // within the bound: nothing was run then.
    std::uint64_t attach();

    // One call on an object of the session numbered session (0: the control itself, in any
    // session). Returns the control's reply, which may carry its error. Throws
    //   StationError kCannotCreateObject when it could not be sent (see attach): it did not run;
    //   StationError kServerUnavailable when the object's session is gone: it did not run;
    //   OutcomeUnknown when it was sent and no answer came: it is unresolved.
    protocol::Reply call(protocol::Request request, std::uint64_t session);

    // The control may forget the object; sent with the next connection when none is open.
    void release(std::uint64_t session, std::uint32_t handle) noexcept;

    // Told when the control stops answering (with why, as the failing call says it) and when it
    // answers again: once per change, and a control that answers from the start is no news. Called
    // in the middle of a call: it must not call the control.
    using ReachabilityObserver = std::function<void(bool reachable, const std::string& why)>;
    void setReachabilityObserver(ReachabilityObserver observer) { m_reachabilityObserver = std::move(observer); }

    bool awaitingOutcomes() const { return !m_unresolved.empty(); }
    // Attaches, if the control can be reached, so that it tells about unresolved calls.
    void learnOutcomes() noexcept;
    std::vector<LateOutcome> takeLateOutcomes();

private:
    struct Unresolved {
        std::uint32_t call = 0;
        std::uint64_t ticket = 0;
        Operation operation = Operation::AddLine;
    };

    void greet();
    void learn(const protocol::Welcome& welcome);
    // The control's clock: noted as it is told, reckoned on from there, asked for once it is old.
    void noteClock(protocol::ControlClock clock);
    protocol::ControlClock reckonedClock();
    void freshenClock();
    // One request sent and its reply, which may be kTooLate.
    protocol::Reply exchange(protocol::Request& request);
    void tell(const Unresolved& call, LateOutcome::Kind kind, std::int32_t error = 0);
    std::uint32_t nextCall();
    [[noreturn]] void unreachable(const std::string& why);
    void reachable(bool answers, const std::string& why);
    [[noreturn]] void unresolved(const protocol::Request& request, const std::string& why);

    std::unique_ptr<ControlTransport> m_transport;
    std::chrono::milliseconds m_bound;
    platform::SystemClock m_systemClock;
    platform::Clock& m_clock;
    protocol::ControlClock m_controlClock = 0;
    std::int64_t m_controlClockAt = 0; // when it was told, on m_clock
    bool m_greeted = false;
    protocol::Token m_token{};
    std::uint64_t m_session = 0;
    std::uint64_t m_sessionsMade = 0;
    std::uint32_t m_lastCall = 0;
    std::vector<Unresolved> m_unresolved;
    std::vector<LateOutcome> m_told;
    std::vector<std::uint32_t> m_releases;
    ReachabilityObserver m_reachabilityObserver;
    std::optional<bool> m_reachable; // nothing before the first attempt
};

} // namespace quorlan::cnc
