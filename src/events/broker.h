// One connection to an MQTT broker, as the event publisher needs it: publish with QoS 1 and be
// told when the broker acknowledged, a retained last will, and a word when the connection fails.
//
// A session is one connection's life: made to connect, destroyed once it ends. The publisher makes
// a new session for each attempt, so that nothing a client library may keep from an old
// connection is sent behind its back; what is still to go is read from the outbox again.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quorlan::events {

struct BrokerOptions {
    std::string host;
    int port = 1883;
    std::string clientId;
    int keepAliveSeconds = 30;
    std::string caFile; // TLS when set, the broker's certificate checked against it and its name
    std::string user;   // none when empty
    std::string password;
    std::string willTopic; // the will is retained and sent with QoS 1
    std::string willPayload;
};

// Told what becomes of a session, on a thread of the client library's: each call must be quick
// and must not call back into the session.
class BrokerListener {
public:
    virtual ~BrokerListener() = default;
    virtual void connected() = 0;
    // The attempt failed or the connection ended; said once per session, which is then over.
    virtual void ended(const std::string& reason, bool wasConnected) = 0;
    // The broker has the message with this id (PUBACK).
    virtual void acknowledged(int messageId) = 0;
};

class BrokerSession {
public:
    // A session still connected says goodbye (DISCONNECT), so the broker does not send the will.
    virtual ~BrokerSession() = default;
    // Publishes with QoS 1; the message id that acknowledged() will name, or nothing when the
    // message cannot be handed over (the connection is going; ended() follows).
    virtual std::optional<int> publish(const std::string& topic, const std::string& payload, bool retain) = 0;
};

// Starts connecting: the outcome comes to the listener, which must outlive the session.
using BrokerConnector =
    std::function<std::unique_ptr<BrokerSession>(const BrokerOptions& options, BrokerListener& listener)>;

} // namespace quorlan::events
