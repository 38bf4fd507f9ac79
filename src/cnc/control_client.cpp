#include "cnc/control_client.h"

#include "platform/error.h"

#include <algorithm>
#include <utility>

namespace quorlan::cnc {

namespace {

using platform::StationError;

std::string operationText(Operation operation) {
    return std::string(protocol::operationName(operation));
}

LateOutcome::Kind kindOf(const protocol::AskedCall& answer) {
    switch (answer.outcome) {
    case protocol::CallOutcome::Ran:
        return answer.error == 0 ? LateOutcome::Kind::Ran : LateOutcome::Kind::Failed;
    case protocol::CallOutcome::NeverRan:
        return LateOutcome::Kind::NeverRan;
    case protocol::CallOutcome::Forgotten:
        break;
    }
    return LateOutcome::Kind::Forgotten;
}

} // namespace

CallFailure classify(const StationError& error) {
    switch (error.number()) {
    case platform::errc::kNoAnswer:
        return CallFailure::Unknown;
    case platform::errc::kServerUnavailable:
        return CallFailure::ObjectGone;
    default:
        return CallFailure::NotRun;
    }
}

ControlClient::ControlClient(std::unique_ptr<ControlTransport> transport, std::chrono::milliseconds bound,
                             platform::Clock* clock)
    : m_transport(std::move(transport)),
      m_bound(std::clamp<std::chrono::milliseconds>(bound, std::chrono::milliseconds(1),
                                                    std::chrono::milliseconds(protocol::kMaxBoundMs))),
      m_clock(clock != nullptr ? *clock : m_systemClock) {}

std::uint64_t ControlClient::attach() {
    if (m_greeted && m_transport->isOpen()) {
        return m_session;
    }
    m_greeted = false;
    try {
        m_transport->open();
    } catch (const StationError& error) {
        reachable(false, error.description());
        throw;
    }
    greet();
    m_greeted = true;
    reachable(true, {});
    for (const std::uint32_t handle : std::exchange(m_releases, {})) {
        m_transport->send(protocol::encodeRequest({0, handle, Operation::Release, {}}));
    }
    return m_session;
}

void ControlClient::greet() {
    protocol::Hello hello{protocol::kVersion, m_token, {}, static_cast<std::uint32_t>(m_bound.count())};
    for (const Unresolved& call : m_unresolved) {
        hello.asked.push_back(call.call);
    }
    if (!m_transport->send(protocol::encodeHello(hello))) {
        unreachable("closed the connection before it greeted the station");
    }
    const Arrival arrival = m_transport->receive(m_bound);
    switch (arrival.kind) {
    case Arrival::Kind::TimedOut:
        unreachable("did not answer the station's greeting within " + std::to_string(m_bound.count()) +
                    " ms (it may be stopped or busy)");
    case Arrival::Kind::Closed:
        unreachable(arrival.why + " before it greeted the station");
    case Arrival::Kind::Frame:
        break;
    }
    try {
        const protocol::Welcome welcome = protocol::decodeWelcome(arrival.body);
        noteClock(welcome.clock);
        learn(welcome);
    } catch (const protocol::ProtocolError& error) {
        unreachable(std::string("answered the station's greeting with bytes that are no greeting (") + error.what() +
                    ")");
    }
}

// A resumed session keeps the station's objects and tells about its calls; any other is new, and
// whatever the old one held, the calls that may have run in it included, is gone with it.
void ControlClient::learn(const protocol::Welcome& welcome) {
    const bool resumed = welcome.resumed && m_session != 0 && welcome.session == m_token;
    m_token = welcome.session;
    if (!resumed) {
        for (const Unresolved& call : m_unresolved) {
            tell(call, LateOutcome::Kind::ControlRestarted);
        }
        m_unresolved.clear();
        m_releases.clear();
        m_session = ++m_sessionsMade;
        return;
    }
    for (const protocol::AskedCall& answer : welcome.answers) {
        const auto asked = std::find_if(m_unresolved.begin(), m_unresolved.end(),
                                        [&answer](const Unresolved& call) { return call.call == answer.call; });
        if (asked != m_unresolved.end()) {
            tell(*asked, kindOf(answer), answer.error);
            m_unresolved.erase(asked);
        }
    }
}

void ControlClient::noteClock(protocol::ControlClock clock) {
    m_controlClock = clock;
    m_controlClockAt = m_clock.steadyMs();
}

protocol::ControlClock ControlClient::reckonedClock() {
    return m_controlClock +
           static_cast<protocol::ControlClock>(std::max<std::int64_t>(0, m_clock.steadyMs() - m_controlClockAt));
}

// Reckoned over a long time, a small difference in the rates of the two clocks would grow; the
// clock is asked for again before that. Nothing runs then: a control that does not answer has
// run nothing of this call.
void ControlClient::freshenClock() {
    if (m_clock.steadyMs() - m_controlClockAt <= protocol::kClockLifeMs) {
        return;
    }
    if (!m_transport->send(protocol::encodePing())) {
        unreachable("closed the connection");
    }
    const Arrival arrival = m_transport->receive(m_bound);
    switch (arrival.kind) {
    case Arrival::Kind::TimedOut:
        unreachable("did not answer within " + std::to_string(m_bound.count()) + " ms (it may be stopped or busy)");
    case Arrival::Kind::Closed:
        unreachable(arrival.why);
    case Arrival::Kind::Frame:
        break;
    }
    try {
        noteClock(protocol::decodePong(arrival.body));
    } catch (const protocol::ProtocolError& error) {
        unreachable(std::string("answered with bytes that are no answer (") + error.what() + ")");
    }
}

void ControlClient::tell(const Unresolved& call, LateOutcome::Kind kind, std::int32_t error) {
    m_told.push_back({call.ticket, call.operation, kind, error});
}

std::uint32_t ControlClient::nextCall() {
    // Call number 0 is never used, so a reply that says 0 answers nothing.
    if (++m_lastCall == 0) {
        ++m_lastCall;
    }
    return m_lastCall;
}

void ControlClient::unreachable(const std::string& why) {
    m_transport->close();
    m_greeted = false;
    const std::string description = where() + " could not be reached: it " + why;
    reachable(false, description);
    throw StationError(platform::errc::kCannotCreateObject, description);
}

void ControlClient::reachable(bool answers, const std::string& why) {
    const bool news = m_reachable.has_value() ? *m_reachable != answers : !answers;
    m_reachable = answers;
    if (news && m_reachabilityObserver) {
        m_reachabilityObserver(answers, why);
    }
}

void ControlClient::unresolved(const protocol::Request& request, const std::string& why) {
    m_transport->close();
    m_greeted = false;
    const Unresolved call{request.call, (m_session << 32) | request.call, request.operation};
    // A greeting asks about a bounded number: the oldest are given up as not to be told.
    if (m_unresolved.size() == protocol::kMaxAskedCalls) {
        tell(m_unresolved.front(), LateOutcome::Kind::Forgotten);
        m_unresolved.erase(m_unresolved.begin());
    }
    m_unresolved.push_back(call);
    reachable(false, where() + " " + why);
    throw OutcomeUnknown(call.ticket, where() + " " + why +
                                          "; whether it ran is not known yet: the station will say so as soon as "
                                          "the control answers");
}

protocol::Reply ControlClient::call(protocol::Request request, std::uint64_t session) {
    attach();
    if (session != 0 && session != m_session) {
        throw StationError(platform::errc::kServerUnavailable,
                           where() + " no longer has the object: the control was restarted, or dropped the "
                                     "station's objects");
    }
    protocol::Reply reply = exchange(request);
    if (reply.error == platform::errc::kTooLate) {
        // It did not run: the clock it carried was older than the control allows, which only a
        // long stall on the way can make. Once more, with the clock asked for afresh.
        m_controlClockAt = m_clock.steadyMs() - protocol::kClockLifeMs - 1;
        reply = exchange(request);
        if (reply.error == platform::errc::kTooLate) {
            unreachable("received the call too late to run it, twice (the network or the control's PC may be "
                        "overloaded)");
        }
    }
    return reply;
}

protocol::Reply ControlClient::exchange(protocol::Request& request) {
    freshenClock();
    request.call = nextCall();
    request.clock = reckonedClock();
    const std::string name = operationText(request.operation);
    if (!m_transport->send(protocol::encodeRequest(request))) {
        unresolved(request, "failed while " + name + " was being sent");
    }
    const Arrival arrival = m_transport->receive(m_bound);
    switch (arrival.kind) {
    case Arrival::Kind::TimedOut:
        unresolved(request, "did not answer " + name + " within " + std::to_string(m_bound.count()) + " ms");
    case Arrival::Kind::Closed:
        unresolved(request, arrival.why + " before it answered " + name);
    case Arrival::Kind::Frame:
        break;
    }
    try {
        protocol::Reply reply = protocol::decodeReply(arrival.body);
        if (reply.call == request.call) {
            noteClock(reply.clock);
            return reply;
        }
        unresolved(request, "answered " + name + " with the answer to another call");
    } catch (const protocol::ProtocolError& error) {
        unresolved(request, "answered " + name + " with bytes that are no answer (" + error.what() + ")");
    }
}

void ControlClient::release(std::uint64_t session, std::uint32_t handle) noexcept {
    if (session != m_session) {
        return; // gone with its session
    }
    if (m_greeted && m_transport->isOpen()) {
        m_transport->send(protocol::encodeRequest({0, handle, Operation::Release, {}}));
    } else if (m_releases.size() < kMaxQueuedReleases) {
        m_releases.push_back(handle);
    }
}

void ControlClient::learnOutcomes() noexcept {
    try {
        attach();
    } catch (const StationError&) {
        // still out of reach: asked again next time
    }
}

std::vector<LateOutcome> ControlClient::takeLateOutcomes() {
    return std::exchange(m_told, {});
}

} // namespace quorlan::cnc
