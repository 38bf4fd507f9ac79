#include "events/mosquitto_session.h"

#include "events/tcp_probe.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <mosquitto.h>
#include <mutex>

namespace quorlan::events {

namespace {

constexpr std::chrono::milliseconds kProbeTimeout{3000};

// libmosquitto is made ready once per process, before the first client.
void initialiseLibrary() {
    static const int once = mosquitto_lib_init();
    (void)once;
}

// The CONNACK codes of MQTT 3.1.1 that a wrong setting gives. Brokers answer a wrong password
// with either "bad user name or password" (4) or "not authorised" (5).
std::string refusal(int code, const BrokerOptions& options) {
    const std::string broker = "the broker " + options.host + ":" + std::to_string(options.port);
    if (code == 4 || code == 5) {
        if (options.user.empty()) {
            return broker + " wants a user name and password (MqttUser and MqttPasswordFile are not set)";
        }
        return broker + " refused the user name " + options.user + " or its password (MqttUser, MqttPasswordFile)";
    }
    if (code == 2) {
        return broker + " refused the client id " + options.clientId;
    }
    return broker + " refused the connection: " + mosquitto_connack_string(code);
}

class MosquittoSession final : public BrokerSession {
public:
    MosquittoSession(const BrokerOptions& options, BrokerListener& listener)
        : m_options(options), m_listener(listener) {
        initialiseLibrary();
        m_client = mosquitto_new(options.clientId.c_str(), true, this);
        if (m_client == nullptr) {
            throw std::runtime_error("no memory for an MQTT client");
        }
        mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_connect_callback_set(m_client, &onConnect);
        mosquitto_disconnect_callback_set(m_client, &onDisconnect);
        mosquitto_publish_callback_set(m_client, &onPublish);
        mosquitto_log_callback_set(m_client, &onLog);
        // The publisher makes a new session for each attempt, at its own pace: the library is not
        // to reconnect on its own (its wait is cut short when the session ends).
        mosquitto_reconnect_delay_set(m_client, 3600, 3600, false);
        if (const auto failure = configure()) {
            end(*failure, false);
            return;
        }
        // The library's own connect does not wait and does not say why a TLS connection could not
        // be made (it tries on until the keep-alive is up): a broker out of reach is found here.
        if (const auto unreachable = probeTcp(options.host, options.port, kProbeTimeout)) {
            end(*unreachable, false);
            return;
        }
        const int started = mosquitto_loop_start(m_client);
        if (started != MOSQ_ERR_SUCCESS) {
            end(std::string("the MQTT client cannot start: ") + mosquitto_strerror(started), false);
            return;
        }
        m_looping = true;
        const int connecting =
            mosquitto_connect_async(m_client, options.host.c_str(), options.port, options.keepAliveSeconds);
        if (connecting != MOSQ_ERR_SUCCESS) {
            end(reasonOf(connecting), false);
        }
    }

    ~MosquittoSession() override {
        m_ended = true;                 // the listener hears no more of a session that is let go
        mosquitto_disconnect(m_client); // also when not connected: it tells the network thread to end
        if (m_looping) {
            // A connection still being made may keep the network thread busy past the request to
            // end: that thread is cancelled rather than waited for.
            mosquitto_loop_stop(m_client, !m_connected);
        }
        mosquitto_destroy(m_client);
    }

    MosquittoSession(const MosquittoSession&) = delete;
    MosquittoSession& operator=(const MosquittoSession&) = delete;

    std::optional<int> publish(const std::string& topic, const std::string& payload, bool retain) override {
        int id = 0;
        const int result = mosquitto_publish(m_client, &id, topic.c_str(), static_cast<int>(payload.size()),
                                             payload.data(), 1, retain);
        if (result != MOSQ_ERR_SUCCESS) {
            return std::nullopt;
        }
        return id;
    }

private:
    // Everything a connection needs before it starts; a reason when a setting cannot be used.
    std::optional<std::string> configure() {
        if (!m_options.user.empty() && mosquitto_username_pw_set(m_client, m_options.user.c_str(),
                                                                 m_options.password.c_str()) != MOSQ_ERR_SUCCESS) {
            return "the user name " + m_options.user + " cannot be used";
        }
        if (!m_options.caFile.empty()) {
            const int tls = mosquitto_tls_set(m_client, m_options.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
            if (tls != MOSQ_ERR_SUCCESS) {
                return "the CA file " + m_options.caFile + " cannot be read";
            }
        }
        if (mosquitto_will_set(m_client, m_options.willTopic.c_str(), static_cast<int>(m_options.willPayload.size()),
                               m_options.willPayload.data(), 1, true) != MOSQ_ERR_SUCCESS) {
            return "the topic " + m_options.willTopic + " cannot be used";
        }
        return std::nullopt;
    }

    std::string broker() const { return m_options.host + ":" + std::to_string(m_options.port); }

    std::string reasonOf(int code) {
        std::string logged;
        {
            std::lock_guard lock(m_mutex);
            logged = m_lastError;
        }
        switch (code) {
        case MOSQ_ERR_EAI:
            return "the broker's host name " + m_options.host + " is not known";
        case MOSQ_ERR_TLS:
        case MOSQ_ERR_TLS_HANDSHAKE: {
            // OpenSSL's "error:0A000086:SSL routines::certificate verify failed" says it at its end.
            const std::string why = logged.substr(logged.rfind(':') == std::string::npos ? 0 : logged.rfind(':') + 1);
            const bool plainPort = why.find("eof") != std::string::npos || why.find("version") != std::string::npos;
            return "TLS with " + broker() + " failed" + (why.empty() ? "" : ": " + why) +
                   (plainPort ? " (does the broker use TLS on this port?)"
                              : " (MqttCaFile must hold the CA that signed the broker's certificate, and MqttBroker "
                                "name a host that certificate was made for)");
        }
        case MOSQ_ERR_CONN_LOST:
        case MOSQ_ERR_PROTOCOL:
            // A broker that wants TLS closes a plain connection, and so does one that does not
            // want it when TLS is offered.
            return "the server at " + broker() + " closed the connection without an MQTT answer" +
                   (m_options.caFile.empty() ? " (does it want TLS? MqttCaFile is not set)"
                                             : " (does it use TLS on this port?)");
        default:
            break;
        }
        return "the connection to " + broker() + " failed: " + (logged.empty() ? mosquitto_strerror(code) : logged);
    }

    // The first end of a session is the one that counts: a refusal is followed by a disconnect.
    void end(const std::string& reason, bool wasConnected) {
        if (!m_ended.exchange(true)) {
            m_listener.ended(reason, wasConnected);
        }
    }

    static MosquittoSession& of(void* self) { return *static_cast<MosquittoSession*>(self); }

    static void onConnect(mosquitto*, void* self, int code) {
        auto& session = of(self);
        if (code == 0) {
            session.m_connected = true;
            session.m_listener.connected();
        } else {
            session.end(refusal(code, session.m_options), false);
        }
    }

    static void onDisconnect(mosquitto*, void* self, int code) {
        auto& session = of(self);
        const bool wasConnected = session.m_connected.exchange(false);
        if (wasConnected) {
            session.end("the connection to " + session.broker() + " was lost", true);
        } else {
            session.end(session.reasonOf(code), false);
        }
    }

    static void onPublish(mosquitto*, void* self, int id) { of(self).m_listener.acknowledged(id); }

    // The library says why a TLS handshake failed only in its log, and a failed handshake of a
    // connection being made may end in no other word at all: an error then ends the attempt.
    static void onLog(mosquitto*, void* self, int level, const char* text) {
        if (level != MOSQ_LOG_ERR || text == nullptr) {
            return;
        }
        auto& session = of(self);
        std::string message = text;
        const bool tls = message.starts_with("OpenSSL Error") || message.find("verification") != std::string::npos;
        if (const auto colon = message.find(": "); colon != std::string::npos && colon < 20) {
            message.erase(0, colon + 2); // "Error: ", "OpenSSL Error[0]: "
        }
        while (message.ends_with('.')) {
            message.pop_back();
        }
        {
            std::lock_guard lock(session.m_mutex);
            session.m_lastError = message;
        }
        if (!session.m_connected) {
            session.end(session.reasonOf(tls ? MOSQ_ERR_TLS : MOSQ_ERR_UNKNOWN), false);
        }
    }

    BrokerOptions m_options;
    BrokerListener& m_listener;
    mosquitto* m_client = nullptr;
    bool m_looping = false;
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_ended{false};
    std::mutex m_mutex; // guards m_lastError, written on the network thread
    std::string m_lastError;
};

} // namespace

std::unique_ptr<BrokerSession> connectMosquitto(const BrokerOptions& options, BrokerListener& listener) {
    return std::make_unique<MosquittoSession>(options, listener);
}

} // namespace quorlan::events
