#include "shell/station_events.h"

#include "events/mosquitto_session.h"
#include "events/mqtt_publisher.h"
#include "events/mqtt_settings.h"

#include <unistd.h>

namespace quorlan::shell {

namespace {

// Long enough for a broker at hand to take what the last scans left, short enough for a window
// that is closing.
constexpr std::chrono::milliseconds kStopGrace{3000};

} // namespace

void StationEvents::start(platform::ProfileSection& settings, const platform::PathMapper& paths,
                          const std::string& historyFile, const std::string& control) {
    const std::string host = events::localHostName();
    auto read = events::readMqttSettings(settings, paths, host);
    if (!read.settings) {
        if (!read.problem.empty()) {
            m_view.setStatus(read.problem + "; MQTT events are off.");
        }
        return;
    }
    events::PublisherOptions options;
    options.mqtt = std::move(*read.settings);
    options.historyFile = historyFile;
    options.version = QUORLAN_VERSION;
    options.control = control;
    // Unique at the broker even for two stations of one name, so that neither pushes the other off.
    options.clientId = "quorlan-" + (host.empty() ? std::string("station") : host) + "-" + std::to_string(::getpid());
    m_publisher = std::make_unique<events::MqttPublisher>(std::move(options), events::connectMosquitto);
}

void StationEvents::recorded() {
    if (m_publisher) {
        m_publisher->wake();
    }
}

void StationEvents::tick() {
    if (m_publisher) {
        for (const std::string& report : m_publisher->takeReports()) {
            m_view.setStatus(report);
        }
    }
}

void StationEvents::stop() {
    if (m_publisher) {
        m_publisher->stop(kStopGrace);
        tick();
        m_publisher.reset();
    }
}

} // namespace quorlan::shell
