#include "cnc/control_session.h"

#include "platform/error.h"

#include <algorithm>
#include <random>
#include <tuple>
#include <type_traits>
#include <utility>

namespace quorlan::cnc {

namespace {

using platform::StationError;
using protocol::Operation;
using protocol::Request;
using protocol::Value;

std::string nameOf(const Request& request) {
    return std::string(protocol::operationName(request.operation));
}

template <typename T> const T& argument(const Request& request, std::size_t index) {
    const T* value = std::get_if<T>(&request.arguments.at(index));
    if (value == nullptr) {
        const char* kind = std::is_same_v<T, bool>           ? "a Boolean"
                           : std::is_same_v<T, std::int32_t> ? "an integer"
                                                             : "a text";
        throw StationError(platform::errc::kTypeMismatch,
                           nameOf(request) + " takes " + kind + " as argument " + std::to_string(index + 1));
    }
    return *value;
}

// The request's arguments as a member's parameters take them, each checked in order.
template <typename... Parameters, std::size_t... index>
std::tuple<const Parameters&...> argumentsAs(const Request& request, std::index_sequence<index...>) {
    return {argument<Parameters>(request, index)...};
}

const char* objectName(ObjectKind kind) {
    switch (kind) {
    case ObjectKind::ControlFactory:
        return "The control";
    case ObjectKind::Application:
        return "The application";
    case ObjectKind::ExeList:
        return "The list";
    }
    return "The object";
}

} // namespace

std::optional<protocol::Reply> ControlSession::answer(const Request& request) {
    if (request.operation == Operation::Release) {
        m_objects.erase(request.object);
        return std::nullopt;
    }
    protocol::Reply reply;
    reply.call = request.call;
    try {
        reply.result = perform(request);
    } catch (const StationError& error) {
        reply.error = error.number() == 0 ? platform::errc::kAutomation : error.number();
        reply.description = error.description();
    }
    remember(request.call, reply.error);
    return reply;
}

void ControlSession::remember(std::uint32_t call, std::int32_t error) {
    m_ran.emplace_back(call, error);
    if (m_ran.size() > protocol::kRememberedCalls) {
        m_highestForgotten = std::max(m_highestForgotten.value_or(0), m_ran.front().first);
        m_ran.pop_front();
    }
}

protocol::AskedCall ControlSession::outcomeOf(std::uint32_t call) const {
    for (auto ran = m_ran.rbegin(); ran != m_ran.rend(); ++ran) {
        if (ran->first == call) {
            return {call, protocol::CallOutcome::Ran, ran->second};
        }
    }
    // A call that is not in the record either never ran, or ran so long ago that it was dropped.
    if (m_highestForgotten && call <= *m_highestForgotten) {
        return {call, protocol::CallOutcome::Forgotten, 0};
    }
    return {call, protocol::CallOutcome::NeverRan, 0};
}

// The object the request addresses, held so that it stays alive through the call even if the call
// releases it; an object of another kind has no such operation.
template <typename Object> auto ControlSession::target(const Request& request) {
    ObjectKind addressed = ObjectKind::ControlFactory;
    if (request.object != 0) {
        const auto held = m_objects.find(request.object);
        if (held == m_objects.end()) {
            // The station holds an object the control does not: for the station it is gone.
            throw StationError(platform::errc::kServerUnavailable, "The CNC control has no object " +
                                                                       std::to_string(request.object) +
                                                                       " for this station (any more)");
        }
        addressed = std::holds_alternative<std::shared_ptr<Application>>(held->second) ? ObjectKind::Application
                                                                                       : ObjectKind::ExeList;
    }
    if (addressed != describe(request.operation)->object) {
        throw StationError(platform::errc::kNoSuchMethod,
                           std::string(objectName(addressed)) + " has no " + nameOf(request));
    }
    if constexpr (std::is_same_v<Object, ControlFactory>) {
        return &m_control;
    } else {
        return std::get<std::shared_ptr<Object>>(m_objects.at(request.object));
    }
}

// The member called with the request's arguments, and its result as a value of the protocol.
template <typename Object, typename Result, typename... Parameters>
Value ControlSession::invoke(Object& object, Result (Object::*method)(Parameters...), const Request& request) {
    const auto arguments = argumentsAs<std::decay_t<Parameters>...>(request, std::index_sequence_for<Parameters...>{});
    const auto call = [&object, method](const auto&... values) { return (object.*method)(values...); };
    if constexpr (std::is_void_v<Result>) {
        std::apply(call, arguments);
        return std::monostate{};
    } else if constexpr (kIsControlObject<Result>) {
        return keep(std::apply(call, arguments));
    } else if constexpr (std::is_same_v<Result, std::int16_t>) {
        return std::int32_t{std::apply(call, arguments)};
    } else {
        return std::apply(call, arguments);
    }
}

Value ControlSession::perform(const Request& request) {
    if (const std::size_t expected = protocol::argumentCount(request.operation); request.arguments.size() != expected) {
        throw StationError(platform::errc::kWrongArguments,
                           nameOf(request) + " takes " + std::to_string(expected) + " argument(s)");
    }
    switch (request.operation) {
#define QUORLAN_PERFORM(code, object, operation, name, access, Result, method, ...)                                    \
    case Operation::operation: {                                                                                       \
        const auto held = target<object>(request);                                                                     \
        return invoke(*held, &object::method, request);                                                                \
    }
        QUORLAN_CONTROL_OPERATIONS(QUORLAN_PERFORM)
#undef QUORLAN_PERFORM
    case Operation::Release:
        break;
    }
    throw StationError(platform::errc::kNoSuchMethod, "The control has no " + nameOf(request));
}

template <typename Object> protocol::ObjectHandle ControlSession::keep(std::shared_ptr<Object> object) {
    if (!object) {
        return {};
    }
    const std::uint32_t handle = newHandle();
    m_objects.emplace(handle, std::move(object));
    return {handle};
}

std::uint32_t ControlSession::newHandle() {
    if (objectCount() >= kMaxObjects) {
        throw StationError(platform::errc::kAutomation,
                           "more than " + std::to_string(kMaxObjects) + " objects held on one connection");
    }
    // Handle 0 stands for the control itself; a wrap past it skips to 1.
    if (++m_lastHandle == 0) {
        ++m_lastHandle;
    }
    return m_lastHandle;
}

} // namespace quorlan::cnc

namespace quorlan::cnc {

namespace {

protocol::Token randomToken() {
    std::random_device source;
    protocol::Token token{};
    for (auto& byte : token) {
        byte = static_cast<std::uint8_t>(source());
    }
    return token;
}

bool isZero(const protocol::Token& token) {
    return std::all_of(token.begin(), token.end(), [](std::uint8_t byte) { return byte == 0; });
}

} // namespace

ControlService::ControlService(ControlFactory& control, TokenSource newToken, platform::Clock* clock)
    : m_control(control), m_newToken(newToken ? std::move(newToken) : TokenSource(randomToken)),
      m_clock(clock != nullptr ? *clock : m_systemClock) {}

protocol::ControlClock ControlService::clock() const {
    return static_cast<protocol::ControlClock>(std::max<std::int64_t>(0, m_clock.steadyMs()));
}

std::size_t ControlService::objectCount() const {
    std::size_t objects = 0;
    for (const auto& [token, entry] : m_sessions) {
        objects += entry.session.objectCount();
    }
    return objects;
}

std::pair<protocol::Token, bool> ControlService::attach(const protocol::Token& asked, std::uint64_t connection) {
    if (!isZero(asked)) {
        if (const auto found = m_sessions.find(asked); found != m_sessions.end()) {
            // The connection it had may still be open as far as this end knows: from now on
            // nothing of that one runs.
            found->second.attachedTo = connection;
            return {asked, true};
        }
    }
    makeRoom();
    protocol::Token token = m_newToken();
    while (isZero(token) || m_sessions.count(token) != 0) {
        token = m_newToken();
    }
    m_sessions.emplace(std::piecewise_construct, std::forward_as_tuple(token),
                       std::forward_as_tuple(Entry{ControlSession(m_control), connection, 0}));
    return {token, false};
}

void ControlService::makeRoom() {
    if (m_sessions.size() < protocol::kMaxSessions) {
        return;
    }
    auto oldest = m_sessions.end();
    for (auto entry = m_sessions.begin(); entry != m_sessions.end(); ++entry) {
        if (entry->second.attachedTo == 0 &&
            (oldest == m_sessions.end() || entry->second.lastDetached < oldest->second.lastDetached)) {
            oldest = entry;
        }
    }
    if (oldest == m_sessions.end()) {
        throw protocol::ProtocolError("every one of the " + std::to_string(protocol::kMaxSessions) +
                                      " sessions is in use");
    }
    m_sessions.erase(oldest);
}

void ControlService::detach(const protocol::Token& token, std::uint64_t connection) {
    const auto found = m_sessions.find(token);
    if (found != m_sessions.end() && found->second.attachedTo == connection) {
        found->second.attachedTo = 0;
        found->second.lastDetached = ++m_detachments;
    }
}

ControlSession* ControlService::attachedSession(const protocol::Token& token, std::uint64_t connection) {
    const auto found = m_sessions.find(token);
    if (found == m_sessions.end() || found->second.attachedTo != connection) {
        return nullptr;
    }
    return &found->second.session;
}

ServedConnection::~ServedConnection() {
    if (m_session) {
        m_service.detach(*m_session, m_id);
    }
}

std::string ServedConnection::receive(std::string_view bytes, const std::function<bool()>& peerStillThere) {
    m_frames.append(bytes);
    if (m_frames.waiting() > protocol::kMaxRequestsInFlight) {
        throw protocol::ProtocolError("more than " + std::to_string(protocol::kMaxRequestsInFlight) +
                                      " requests waiting at once");
    }
    std::string replies;
    while (!m_ended) {
        const auto body = m_frames.next();
        if (!body) {
            break;
        }
        // The station closes a connection when it gives up on a call: whatever still waits in it
        // was given up on.
        if (!peerStillThere()) {
            m_ended = true;
            break;
        }
        if (!m_session) {
            replies += greet(*body);
        } else if (protocol::kindOf(*body) == protocol::BodyKind::Ping) {
            protocol::decodePing(*body);
            replies += protocol::encodePong(m_service.clock());
        } else if (const auto reply = serve(*body)) {
            replies += *reply;
        }
    }
    return replies;
}

std::string ServedConnection::greet(std::string_view body) {
    const protocol::Hello hello = protocol::decodeHello(body);
    const auto [token, resumed] = m_service.attach(hello.session, m_id);
    m_session = token;
    m_boundMs = hello.boundMs;
    protocol::Welcome welcome{token, resumed, {}, 0};
    if (resumed) {
        const ControlSession& session = *m_service.attachedSession(token, m_id);
        for (const std::uint32_t call : hello.asked) {
            welcome.answers.push_back(session.outcomeOf(call));
        }
    }
    welcome.clock = m_service.clock();
    return protocol::encodeWelcome(welcome);
}

// Whether more of the station's bound has passed since the clock the request carries than leaves
// it time to run before the station gives up. A 32nd of the bound is kept back for clocks that do
// not run at quite the same rate; a clock ahead of the control's counts as now.
bool ServedConnection::late(const protocol::Request& request) const {
    const protocol::ControlClock now = m_service.clock();
    const protocol::ControlClock passed = now > request.clock ? now - request.clock : 0;
    return passed > m_boundMs - m_boundMs / 32;
}

std::optional<std::string> ServedConnection::serve(std::string_view body) {
    ControlSession* session = m_service.attachedSession(*m_session, m_id);
    if (session == nullptr) {
        throw protocol::ProtocolError("its session was taken over by a newer connection");
    }
    const protocol::Request request = protocol::decodeRequest(body);
    if (request.operation != Operation::Release && late(request)) {
        // Not run, and not recorded as run: asked about later, it never ran.
        return protocol::encodeReply({request.call,
                                      platform::errc::kTooLate,
                                      platform::describeError(platform::errc::kTooLate),
                                      {},
                                      m_service.clock()});
    }
    std::optional<protocol::Reply> reply = session->answer(request);
    if (!reply) {
        return std::nullopt;
    }
    reply->clock = m_service.clock();
    return protocol::encodeReply(*reply);
}

} // namespace quorlan::cnc
