#include "events/mqtt_settings.h"

#include "platform/cp1252.h"
#include "platform/text.h"

#include <charconv>
#include <climits>
#include <optional>
#include <unistd.h>

namespace quorlan::events {

namespace {

// A value of these keys is no legacy value: it is read whole, not through the 128-character buffer.
constexpr std::size_t kValueBufferSize = 4096;

std::optional<int> parsePort(std::string_view text) {
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) {
        return std::nullopt;
    }
    return port;
}

} // namespace

std::optional<BrokerAddress> parseBroker(std::string_view text, bool tls) {
    std::string_view host = text;
    std::optional<std::string_view> port;
    const bool bracketed = text.starts_with('[');
    if (bracketed) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (!rest.starts_with(':')) {
                return std::nullopt;
            }
            port = rest.substr(1);
        }
    } else if (const auto colon = text.find(':'); colon != std::string_view::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (host.empty() || host.find_first_of(bracketed ? " \t/[]" : " \t/[]:") != std::string_view::npos) {
        return std::nullopt;
    }
    BrokerAddress address{std::string(host), tls ? kMqttTlsPort : kMqttPort};
    if (port) {
        const auto number = parsePort(*port);
        if (!number) {
            return std::nullopt;
        }
        address.port = *number;
    }
    return address;
}

std::string defaultTopic(std::string_view hostName) {
    std::string name(hostName);
    for (char& c : name) {
        if (c == '/' || c == '+' || c == '#' || static_cast<unsigned char>(c) < 0x20) {
            c = '_';
        }
    }
    return "quorlan/" + (name.empty() ? std::string("station") : name);
}

bool validTopic(std::string_view topic) {
    return !topic.empty() && topic.find_first_of(std::string_view("+#\0", 3)) == std::string_view::npos;
}

MqttSettingsRead readMqttSettings(platform::ProfileSection& settings, const platform::PathMapper& paths,
                                  std::string_view hostName) {
    const auto read = [&settings](const char* key) {
        return platform::trimBlanks(settings.getString(key, "", kValueBufferSize));
    };
    MqttSettingsRead result;
    const std::string broker = read(kMqttBrokerKey);
    if (broker.empty()) {
        return result;
    }
    MqttSettings mqtt;
    if (const std::string caFile = read(kMqttCaFileKey); !caFile.empty()) {
        mqtt.caFile = paths.toLocal(caFile);
    }
    const auto address = parseBroker(broker, !mqtt.caFile.empty());
    if (!address) {
        result.problem = std::string(kMqttBrokerKey) + " \"" + broker +
                         "\" is not a broker's host:port (for example localhost:1883)";
        return result;
    }
    mqtt.broker = *address;
    std::string topic = read(kMqttTopicKey);
    if (topic.empty()) {
        topic = defaultTopic(hostName);
    } else {
        const std::string given = topic;
        while (topic.ends_with('/')) {
            topic.pop_back();
        }
        if (!validTopic(topic)) {
            result.problem = std::string(kMqttTopicKey) + " \"" + given +
                             "\" is no topic to publish under (it may not be empty or hold + or #)";
            return result;
        }
    }
    mqtt.topic = platform::cp1252ToUtf8(topic);
    mqtt.user = platform::cp1252ToUtf8(read(kMqttUserKey));
    if (const std::string passwordFile = read(kMqttPasswordFileKey); !passwordFile.empty()) {
        mqtt.passwordFile = paths.toLocal(passwordFile);
    }
    result.settings = std::move(mqtt);
    return result;
}

std::string localHostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof(name) - 1) != 0) {
        return {};
    }
    return name;
}

} // namespace quorlan::events
