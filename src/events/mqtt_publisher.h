// Publishing the history to an MQTT broker: each entry (a scan's event or a notice) as one JSON
// message with QoS 1, in id order, and the station's retained status.
//
// Nothing is lost while the broker is away: the history is the outbox. An entry counts as
// published only once the broker acknowledged it (PUBACK), and only then does the outbox mark in
// the history file move past it; a broker that is down, or a station that restarts, leaves the
// rest after the mark, and it goes out, in order, once a connection is made again. An entry may
// come twice (acknowledged, but the mark not yet written when the connection or the station went):
// consumers drop an id they have seen.
//
// All of it runs on a thread of its own with its own connection to the history file, so that
// neither a broker that is slow, down or refusing nor the file ever holds up a scan. A failure is
// reported once (in the operator's words, through takeReports()), retried with a growing pause,
// and its end reported once.
#pragma once

#include "events/broker.h"
#include "events/mqtt_settings.h"
#include "events/publisher.h"

#include <memory>
#include <thread>

namespace quorlan::events {

struct PublisherOptions {
    MqttSettings mqtt;
    std::string historyFile;
    std::string version;
    std::string control;  // the control's address, for the status
    std::string clientId; // unique at the broker
    std::chrono::milliseconds firstRetry{1000};
    std::chrono::milliseconds longestRetry{30000};
    std::chrono::milliseconds connectTimeout{10000}; // a broker that says nothing for this long is tried again
    std::chrono::milliseconds markEvery{250};        // acknowledged entries are marked in the file at most this often
    std::chrono::milliseconds statusEvery{1000};     // the status follows the scans at most this often
    std::size_t window = 100;                        // entries handed to the broker and not yet acknowledged
    int keepAliveSeconds = 30;
};

class MqttPublisher final : public Publisher {
public:
    // Starts at once: connecting, and sending what the outbox holds.
    MqttPublisher(PublisherOptions options, BrokerConnector connector);
    ~MqttPublisher() override;
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    void wake() override;
    std::vector<std::string> takeReports() override;
    void stop(std::chrono::milliseconds grace) override;

private:
    class Worker;
    std::unique_ptr<Worker> m_worker;
    std::thread m_thread;
};

// The texts the operator sees.
std::string publishingFailure(const std::string& reason);
std::string publishingRecovered();

// The name under which the publisher keeps its mark in the history's outbox.
inline constexpr const char* kOutboxConsumer = "mqtt";

} // namespace quorlan::events
