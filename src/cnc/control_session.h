// The serving end of one connection of the control protocol (control_protocol.h): decodes each
// request, performs it on the control's objects and codes the reply. It owns the objects it has
// handed out on this connection; they are let go with it.
#pragma once

#include "cnc/control.h"
#include "cnc/control_protocol.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>

namespace quorlan::cnc {

class ControlSession final {
public:
    // More live objects than a station ever holds: a client that keeps asking is refused.
    static constexpr std::size_t kMaxObjects = 4096;

    explicit ControlSession(ControlFactory& control) : m_control(control) {}

    // The reply frame to one request body, or nothing for a release. A failing operation is
    // answered with its error; a body that is no request throws protocol::ProtocolError.
    std::optional<std::string> answer(std::string_view requestBody);

    std::size_t objectCount() const { return m_objects.size(); }

private:
    using HeldObject = std::variant<std::shared_ptr<Application>, std::shared_ptr<ExeList>>;

    protocol::Value perform(const protocol::Request& request);
    template <typename Object> auto target(const protocol::Request& request);
    template <typename Object, typename Result, typename... Parameters>
    protocol::Value invoke(Object& object, Result (Object::*method)(Parameters...), const protocol::Request& request);
    template <typename Object> protocol::ObjectHandle keep(std::shared_ptr<Object> object);
    std::uint32_t newHandle();

    ControlFactory& m_control;
    std::unordered_map<std::uint32_t, HeldObject> m_objects;
    std::uint32_t m_lastHandle = 0;
};

} // namespace quorlan::cnc
