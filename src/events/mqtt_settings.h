// Where the station's events go: the keys "MqttBroker", "MqttTopic", "MqttCaFile", "MqttUser" and
// "MqttPasswordFile" of the settings file. None is there in an existing installation, and without
// MqttBroker nothing is published at all.
#pragma once

#include "platform/path_mapper.h"
#include "platform/profile.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorlan::events {

inline constexpr const char* kMqttBrokerKey = "MqttBroker";
inline constexpr const char* kMqttTopicKey = "MqttTopic";
inline constexpr const char* kMqttCaFileKey = "MqttCaFile";
inline constexpr const char* kMqttUserKey = "MqttUser";
inline constexpr const char* kMqttPasswordFileKey = "MqttPasswordFile";

inline constexpr int kMqttPort = 1883;
inline constexpr int kMqttTlsPort = 8883;

struct BrokerAddress {
    std::string host;
    int port = kMqttPort;
    bool operator==(const BrokerAddress&) const = default;
};

struct MqttSettings {
    BrokerAddress broker;
    std::string topic;        // the prefix of every topic, without a "/" at its end
    std::string caFile;       // a local path; empty: no TLS
    std::string user;         // empty: no user name
    std::string passwordFile; // a local path; its first line is the password
    bool operator==(const MqttSettings&) const = default;
};

struct MqttSettingsRead {
    std::optional<MqttSettings> settings; // nothing: publishing is off
    std::string problem;                  // why it is off although MqttBroker is set
};

// "host", "host:port", "[v6 address]:port"; without a port, 1883, or 8883 with TLS.
std::optional<BrokerAddress> parseBroker(std::string_view text, bool tls);

// "quorlan/" and the station's name, its host name; a name that a topic level cannot hold
// (empty, or with "/", "+" or "#") has those characters replaced.
std::string defaultTopic(std::string_view hostName);

// A topic prefix may not hold the wildcards "+" and "#" nor a NUL, and is not empty.
bool validTopic(std::string_view topic);

MqttSettingsRead readMqttSettings(platform::ProfileSection& settings, const platform::PathMapper& paths,
                                  std::string_view hostName);

// The machine's host name, as the default topic names the station.
std::string localHostName();

} // namespace quorlan::events
