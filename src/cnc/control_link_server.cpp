#include "cnc/control_link_server.h"

#include <algorithm>

namespace quorlan::cnc {

namespace {

std::string whyRefused(const LinkError& error) {
    switch (error.kind()) {
    case LinkError::Kind::NotALink:
        return std::string("it does not speak the control link, so it is no station (") + error.what() + ")";
    case LinkError::Kind::OtherVersion:
        return "it speaks another version of the control link: use a station and a bridge of the same version";
    case LinkError::Kind::WrongKey:
        return "it does not hold the key: its proof is wrong (the key files of the station and the bridge differ)";
    case LinkError::Kind::Broken:
        break;
    }
    return std::string("it sent what no holder of the key sent: ") + error.what();
}

} // namespace

LinkServer::LinkServer(ControlService& service, std::string key, platform::Clock& clock, Note note)
    : m_service(service), m_key(std::move(key)), m_clock(clock), m_note(std::move(note)) {}

LinkServer::~LinkServer() = default;

std::size_t LinkServer::provenCount() const {
    return static_cast<std::size_t>(std::count_if(m_connections.begin(), m_connections.end(),
                                                  [](const auto& entry) { return entry.second.served != nullptr; }));
}

LinkServer::Accepted LinkServer::accept(std::string peer) {
    Accepted accepted;
    if (m_connections.size() - provenCount() >= kMaxUnproven) {
        closeOneToMakeRoom(false, accepted.closed);
    }
    accepted.id = ++m_lastId;
    const std::int64_t now = m_clock.steadyMs();
    m_connections.emplace(accepted.id,
                          Connection{std::move(peer), LinkEnd(LinkEnd::Side::Control, m_key), nullptr, now, now});
    return accepted;
}

void LinkServer::closeOneToMakeRoom(bool proven, std::vector<ConnectionId>& closed) {
    auto oldest = m_connections.end();
    for (auto entry = m_connections.begin(); entry != m_connections.end(); ++entry) {
        if ((entry->second.served != nullptr) != proven) {
            continue;
        }
        const auto age = [proven](const Connection& c) { return proven ? c.lastHeard : c.since; };
        if (oldest == m_connections.end() || age(entry->second) < age(oldest->second)) {
            oldest = entry;
        }
    }
    if (oldest == m_connections.end()) {
        return;
    }
    closed.push_back(oldest->first);
    end(oldest, proven ? "closed to make room: more than " + std::to_string(protocol::kMaxClients) +
                             " connections of the station at once, and this one was quiet the longest"
                       : "closed to make room: more than " + std::to_string(kMaxUnproven) +
                             " connections waiting to prove the key, and this one waited the longest");
}

void LinkServer::end(std::map<ConnectionId, Connection>::iterator connection, const std::string& why) {
    m_note(connection->second.peer + ": " + why);
    m_connections.erase(connection);
}

LinkServer::Received LinkServer::receive(ConnectionId id, std::string_view bytes,
                                         const std::function<bool()>& peerStillThere) {
    Received received;
    const auto found = m_connections.find(id);
    if (found == m_connections.end()) {
        received.close = true;
        return received;
    }
    Connection& connection = found->second;
    connection.lastHeard = m_clock.steadyMs();
    try {
        std::string payload;
        received.send = connection.link.receive(bytes, payload);
        if (connection.link.established() && connection.served == nullptr) {
            connection.served = m_service.connect();
            m_note(connection.peer + ": a station proved that it holds the key, and is served");
            if (provenCount() > protocol::kMaxClients) {
                closeOneToMakeRoom(true, received.closed);
                if (std::find(received.closed.begin(), received.closed.end(), id) != received.closed.end()) {
                    return {{}, true, std::move(received.closed)};
                }
            }
        }
        if (payload.empty()) {
            return received;
        }
        const std::string replies = connection.served->receive(payload, peerStillThere);
        if (connection.served->ended()) {
            end(found, "it hung up before its requests ran; they were dropped");
            return {{}, true, std::move(received.closed)};
        }
        if (!replies.empty()) {
            received.send += connection.link.seal(replies);
        }
    } catch (const LinkError& error) {
        end(found, "closed: " + whyRefused(error));
        return {{}, true, std::move(received.closed)};
    } catch (const std::exception& error) {
        // The protocol broken, or a bound exceeded: the stream cannot be followed any more.
        end(found, std::string("closed: ") + error.what());
        return {{}, true, std::move(received.closed)};
    }
    return received;
}

void LinkServer::closed(ConnectionId id) {
    const auto found = m_connections.find(id);
    if (found == m_connections.end()) {
        return;
    }
    if (found->second.served == nullptr && found->second.link.heard()) {
        // The station checks the control's proof first and hangs up when it is wrong.
        end(found, "it hung up during the handshake: a station whose key differs from this one does so");
    } else {
        m_connections.erase(found);
    }
}

std::vector<LinkServer::ConnectionId> LinkServer::expire() {
    std::vector<ConnectionId> expired;
    const std::int64_t now = m_clock.steadyMs();
    for (auto entry = m_connections.begin(); entry != m_connections.end();) {
        const Connection& connection = entry->second;
        if (connection.served == nullptr && now - connection.since >= kHandshakeMs) {
            expired.push_back(entry->first);
            const std::string why = connection.link.heard() ? "it began the handshake but did not prove"
                                                            : "it said nothing, and did not prove";
            m_note(connection.peer + ": closed: " + why + " within " + std::to_string(kHandshakeMs / 1000) +
                   " s that it holds the key");
            entry = m_connections.erase(entry);
        } else {
            ++entry;
        }
    }
    return expired;
}

std::int64_t LinkServer::msUntilNextExpiry() const {
    std::int64_t next = -1;
    const std::int64_t now = m_clock.steadyMs();
    for (const auto& [id, connection] : m_connections) {
        if (connection.served == nullptr) {
            const std::int64_t left = std::max<std::int64_t>(0, connection.since + kHandshakeMs - now);
            next = next < 0 ? left : std::min(next, left);
        }
    }
    return next;
}

} // namespace quorlan::cnc
