#include "cnc/authenticated_transport.h"

#include "platform/error.h"

namespace quorlan::cnc {

namespace {

using platform::StationError;

// What an operator at the station can do about a failed handshake.
std::string whyRefused(const LinkError& error) {
    switch (error.kind()) {
    case LinkError::Kind::WrongKey:
        return "it holds another key than this station (its proof is wrong), so nothing was sent to it. Copy the "
               "same key file to the station and to the control's PC, and restart the bridge";
    case LinkError::Kind::OtherVersion:
        return "its bridge is of another version than this station: install the same version on both";
    case LinkError::Kind::NotALink:
    case LinkError::Kind::Broken:
        break;
    }
    return std::string("what answers there is no bridge to the control (") + error.what() +
           "); check the address and port, and that the bridge serves on them";
}

} // namespace

AuthenticatedTransport::AuthenticatedTransport(std::unique_ptr<ControlTransport> inner, std::string key,
                                               std::string keyProblem)
    : m_inner(std::move(inner)), m_key(std::move(key)), m_keyProblem(std::move(keyProblem)) {}

void AuthenticatedTransport::open() {
    close();
    if (!m_keyProblem.empty()) {
        throw StationError(platform::errc::kCannotCreateObject, where() + " cannot be reached: " + m_keyProblem);
    }
    m_inner->open();
    try {
        handshake();
    } catch (...) {
        close();
        throw;
    }
}

void AuthenticatedTransport::handshake() {
    m_link.emplace(LinkEnd::Side::Station, m_key);
    if (!m_inner->send(m_link->greeting())) {
        refuse("it closed the connection at once");
    }
    const Arrival arrival = m_inner->receive(kHandshakeBound);
    switch (arrival.kind) {
    case Arrival::Kind::TimedOut:
        refuse("it did not prove within " + std::to_string(kHandshakeBound.count() / 1000) +
               " s that it holds the key; is it the bridge, and not busy?");
    case Arrival::Kind::Closed:
        refuse("it " + arrival.why +
               " before it proved that it holds the key (a bridge does so when the station "
               "proves a key of its own that differs, or when it serves too many)");
    case Arrival::Kind::Frame:
        break;
    }
    std::string payload;
    std::string proof;
    try {
        proof = m_link->receive(protocol::frameOf(arrival.body), payload);
    } catch (const LinkError& error) {
        refuse(whyRefused(error));
    }
    if (!m_link->established() || !m_inner->send(proof)) {
        refuse("it closed the connection during the handshake");
    }
}

void AuthenticatedTransport::refuse(const std::string& why) {
    throw StationError(platform::errc::kCannotCreateObject, where() + " is refused: " + why + ".");
}

void AuthenticatedTransport::close() noexcept {
    m_inner->close();
    m_link.reset();
    m_frames = {};
}

bool AuthenticatedTransport::isOpen() const {
    return m_link && m_link->established() && m_inner->isOpen();
}

bool AuthenticatedTransport::send(const std::string& frame) {
    return isOpen() && m_inner->send(m_link->seal(frame));
}

Arrival AuthenticatedTransport::receive(std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (true) {
        try {
            if (std::optional<std::string> body = m_frames.next()) {
                return {Arrival::Kind::Frame, std::move(*body), {}};
            }
            if (!isOpen()) {
                return {Arrival::Kind::Closed, {}, "closed the connection"};
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            Arrival arrival = m_inner->receive(std::max(left, std::chrono::milliseconds(0)));
            if (arrival.kind != Arrival::Kind::Frame) {
                return arrival;
            }
            std::string payload;
            m_link->receive(protocol::frameOf(arrival.body), payload);
            m_frames.append(payload);
        } catch (const std::exception& error) {
            close();
            return {Arrival::Kind::Closed,
                    {},
                    std::string("answered with what no holder of the key sent (") + error.what() + ")"};
        }
    }
}

} // namespace quorlan::cnc
