#include "cnc/remote_control.h"

#include "platform/error.h"

#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

namespace quorlan::cnc {

namespace {

using platform::StationError;
using protocol::Value;

// Where an object lives: the client, the session it was created in and its handle there (0 and 0
// for the control itself).
struct Binding {
    std::shared_ptr<ControlClient> client;
    std::uint64_t session = 0;
    std::uint32_t handle = 0;
};

// One call of the object's operation, and the session it ran in. The binding is taken by value:
// the object itself may be let go while the call waits for its reply.
std::pair<Value, std::uint64_t> invoke(Binding binding, Operation operation, std::vector<Value> arguments) {
    protocol::Reply reply = binding.client->call({0, binding.handle, operation, std::move(arguments)}, binding.session);
    if (reply.error != 0) {
        throw StationError(reply.error,
                           reply.description.empty() ? platform::describeError(reply.error) : reply.description);
    }
    return {std::move(reply.result), binding.client->session()};
}

[[noreturn]] void wrongKind(Operation operation) {
    throw StationError(platform::errc::kAutomation, "the CNC control answered " +
                                                        std::string(protocol::operationName(operation)) +
                                                        " with a value of the wrong kind");
}

template <typename T> T as(Value value, Operation operation) {
    T* result = std::get_if<T>(&value);
    if (result == nullptr) {
        wrongKind(operation);
    }
    return std::move(*result);
}

template <typename Interface> class Remote;

// A reply's value as the member's result. An object lives in the session of the call that made it;
// handle 0 is no object.
template <typename Result>
Result resultOf(std::pair<Value, std::uint64_t> answer, Operation operation,
                const std::shared_ptr<ControlClient>& client) {
    Value& value = answer.first;
    if constexpr (std::is_void_v<Result>) {
        as<std::monostate>(std::move(value), operation);
    } else if constexpr (kIsControlObject<Result>) {
        const std::uint32_t handle = as<protocol::ObjectHandle>(std::move(value), operation).id;
        if (handle == 0) {
            return nullptr;
        }
        return std::make_shared<Remote<typename Result::element_type>>(Binding{client, answer.second, handle});
    } else if constexpr (std::is_same_v<Result, std::int16_t>) {
        const std::int32_t result = as<std::int32_t>(std::move(value), operation);
        if (result < std::numeric_limits<std::int16_t>::min() || result > std::numeric_limits<std::int16_t>::max()) {
            wrongKind(operation);
        }
        return static_cast<std::int16_t>(result);
    } else {
        return as<Result>(std::move(value), operation);
    }
}

class RemoteObject {
public:
    RemoteObject(const RemoteObject&) = delete;
    RemoteObject& operator=(const RemoteObject&) = delete;

protected:
    explicit RemoteObject(Binding binding) : m_binding(std::move(binding)) {}
    // The control forgets the object.
    ~RemoteObject() { m_binding.client->release(m_binding.session, m_binding.handle); }

    // The binding is copied first: the object itself may be let go while the call waits.
    template <typename Result> Result forward(Operation operation, std::vector<Value> arguments) const {
        const Binding binding = m_binding;
        return resultOf<Result>(invoke(binding, operation, std::move(arguments)), operation, binding.client);
    }

private:
    Binding m_binding;
};

template <> class Remote<ExeList> final : public ExeList, private RemoteObject {
public:
    explicit Remote(Binding binding) : RemoteObject(std::move(binding)) {}
    QUORLAN_EXELIST_OPERATIONS(QUORLAN_FORWARD_MEMBER)
};

template <> class Remote<Application> final : public Application, private RemoteObject {
public:
    explicit Remote(Binding binding) : RemoteObject(std::move(binding)) {}
    QUORLAN_APPLICATION_OPERATIONS(QUORLAN_FORWARD_MEMBER)
};

} // namespace

template <typename Result> Result RemoteControl::forward(Operation operation, std::vector<Value> arguments) {
    return resultOf<Result>(invoke({m_client, 0, 0}, operation, std::move(arguments)), operation, m_client);
}

#define QUORLAN_REMOTE_CONTROL_MEMBER(code, object, operation, name, access, Result, method, ...)                      \
    Result RemoteControl::method(QUORLAN_PARAMETERS(__VA_ARGS__)) {                                                    \
        return forward<Result>(Operation::operation, {QUORLAN_ARGUMENTS(__VA_ARGS__)});                                \
    }
QUORLAN_CONTROL_FACTORY_OPERATIONS(QUORLAN_REMOTE_CONTROL_MEMBER)
#undef QUORLAN_REMOTE_CONTROL_MEMBER

} // namespace quorlan::cnc
