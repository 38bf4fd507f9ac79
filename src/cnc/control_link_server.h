// The serving end of the control link across a network, without a socket: each connection's
// handshake (control_link.h) and then its part of the control's service (control_session.h), and
// the bounds that keep connections which never prove the key, or a flood of them, from keeping
// the station out. The socket adapters (cnc-sim's, the bridge's) only accept, carry bytes, say
// whether a peer is still there and close what they are told to.
//
// Bounds:
//  - a connection has kHandshakeMs to prove that it holds the key; then it is closed;
//  - at most kMaxUnproven connections wait to prove it; one more closes the one that waited the
//    longest, so that the station's own, which proves it within a round trip, gets in;
//  - at most protocol::kMaxClients connections that proved it are served at once. Only the
//    station's own get there, among them old ones whose end never arrived across the network; one
//    more closes the one that was quiet the longest;
//  - before the proof a frame is at most a link greeting; after, at most one record.
#pragma once

#include "cnc/control_link.h"
#include "cnc/control_session.h"
#include "platform/clock.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorlan::cnc {

class LinkServer final {
public:
    static constexpr std::int64_t kHandshakeMs = 5000;
    static constexpr std::size_t kMaxUnproven = 32;

    using ConnectionId = std::uint64_t;
    // Told what happened to a connection that was refused or closed, and to one that proved the key.
    using Note = std::function<void(const std::string& text)>;

    struct Accepted {
        ConnectionId id = 0;
        std::vector<ConnectionId> closed; // to make room
    };
    struct Received {
        std::string send;                 // bytes for the peer
        bool close = false;               // the connection is ended (noted): close it, sending nothing more
        std::vector<ConnectionId> closed; // others, to make room
    };

    // key: the shared key's bytes.
    LinkServer(ControlService& service, std::string key, platform::Clock& clock, Note note);
    ~LinkServer();
    LinkServer(const LinkServer&) = delete;
    LinkServer& operator=(const LinkServer&) = delete;

    // A new connection; peer names it in notes ("192.168.1.20:50312").
    Accepted accept(std::string peer);
    // Its bytes as they arrive. peerStillThere() is asked just before each request runs.
    Received receive(ConnectionId id, std::string_view bytes, const std::function<bool()>& peerStillThere);
    // The connection ended (the peer hung up, or it was closed for a reason of the adapter's). One
    // that hung up in the middle of the handshake is noted.
    void closed(ConnectionId id);
    // The connections whose time to prove the key is up, closed here and noted.
    std::vector<ConnectionId> expire();
    // Milliseconds until the next connection's time is up; -1 when none waits.
    std::int64_t msUntilNextExpiry() const;

    std::size_t connectionCount() const { return m_connections.size(); }
    std::size_t provenCount() const;

private:
    struct Connection {
        std::string peer;
        LinkEnd link;
        std::unique_ptr<ServedConnection> served; // once proven
        std::int64_t since = 0;                   // accepted, on the clock
        std::int64_t lastHeard = 0;
    };

    // Closes the connection that waited the longest to prove the key, or, of those that proved it,
    // the one quiet the longest.
    void closeOneToMakeRoom(bool proven, std::vector<ConnectionId>& closed);
    void end(std::map<ConnectionId, Connection>::iterator connection, const std::string& why);

    ControlService& m_service;
    std::string m_key;
    platform::Clock& m_clock;
    Note m_note;
    std::map<ConnectionId, Connection> m_connections;
    ConnectionId m_lastId = 0;
};

} // namespace quorlan::cnc
