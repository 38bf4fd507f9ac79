// The station's end of the control link across a network (control_link.h) over a transport that
// carries its frames (a TCP connection): each connection opens only once the control has proved
// that it holds the key, and then carries the protocol's frames sealed in records. Whatever does
// not come from the key's holder ends the connection, as garbage does on a local socket.
#pragma once

#include "cnc/control_client.h"
#include "cnc/control_link.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace quorlan::cnc {

class AuthenticatedTransport final : public ControlTransport {
public:
    // A control that takes longer than this to prove that it holds the key is no bridge to wait for.
    static constexpr std::chrono::milliseconds kHandshakeBound{3000};

    // key: the key's bytes. keyProblem: why there is no key (the key file cannot be read); then
    // every open() says so, and nothing is sent.
    AuthenticatedTransport(std::unique_ptr<ControlTransport> inner, std::string key, std::string keyProblem = {});

    std::string where() const override { return m_inner->where(); }
    void open() override;
    void close() noexcept override;
    bool isOpen() const override;
    bool send(const std::string& frame) override;
    Arrival receive(std::chrono::milliseconds within) override;

private:
    [[noreturn]] void refuse(const std::string& why);
    void handshake();

    std::unique_ptr<ControlTransport> m_inner;
    std::string m_key;
    std::string m_keyProblem;
    std::optional<LinkEnd> m_link;
    protocol::FrameReader m_frames;
};

} // namespace quorlan::cnc
