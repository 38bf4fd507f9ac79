#include "cnc/control_session.h"

#include "platform/error.h"

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

std::optional<std::string> ControlSession::answer(std::string_view requestBody) {
    const Request request = protocol::decodeRequest(requestBody);
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
    return protocol::encodeReply(reply);
}

// The object the request addresses, held so that it stays alive through the call even if the call
// releases it; an object of another kind has no such operation.
template <typename Object> auto ControlSession::target(const Request& request) {
    ObjectKind addressed = ObjectKind::ControlFactory;
    if (request.object != 0) {
        const auto held = m_objects.find(request.object);
        if (held == m_objects.end()) {
            throw StationError(platform::errc::kAutomation,
                               "no object " + std::to_string(request.object) + " on this connection");
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
