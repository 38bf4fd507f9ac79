// The station's events for the shop floor: published from the history to the MQTT broker that
// "MqttBroker" names, and nothing at all without it. Publishing runs on a thread of its own; the
// station nudges it after each record and hears its failures, once each, on the status line.
// Nothing that arrives by MQTT ever reaches the station: it only publishes.
#pragma once

#include "events/publisher.h"
#include "platform/path_mapper.h"
#include "platform/profile.h"
#include "platform/view.h"

#include <memory>
#include <string>

namespace quorlan::shell {

class StationEvents final {
public:
    explicit StationEvents(platform::StationView& view) : m_view(view) {}

    // Start-up, once the history is open: a broker named in the settings is connected to, and the
    // history file is its outbox. A setting that cannot be used is said, and publishing stays off.
    void start(platform::ProfileSection& settings, const platform::PathMapper& paths, const std::string& historyFile,
               const std::string& control);
    bool publishing() const { return m_publisher != nullptr; }

    // The history has a new record: it goes out as soon as the broker takes it.
    void recorded();
    // Each tick between scans: what publishing has to say goes to the status line.
    void tick();
    // Shut-down: what the history holds goes out within a short grace, then the offline status.
    void stop();

private:
    platform::StationView& m_view;
    std::unique_ptr<events::Publisher> m_publisher;
};

} // namespace quorlan::shell
