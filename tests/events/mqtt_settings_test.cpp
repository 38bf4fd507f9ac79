#include "events/mqtt_settings.h"
#include "fieldsel/fake_profile_section.h"

#include <gtest/gtest.h>

namespace quorlan::events {
namespace {

TEST(ParseBrokerTest, hostAndPort_asIntegratorsWriteThem) {
    struct Case {
        const char* text;
        bool tls;
        std::optional<BrokerAddress> address;
    };
    const Case cases[] = {
        {"localhost:1883", false, BrokerAddress{"localhost", 1883}},
        {"broker.shop.lan", false, BrokerAddress{"broker.shop.lan", 1883}},
        {"broker.shop.lan", true, BrokerAddress{"broker.shop.lan", 8883}},
        {"10.0.0.5:18830", true, BrokerAddress{"10.0.0.5", 18830}},
        {"[::1]:1884", false, BrokerAddress{"::1", 1884}},
        {"[fe80::1]", true, BrokerAddress{"fe80::1", 8883}},
        {"localhost:", false, std::nullopt},
        {"localhost:0", false, std::nullopt},
        {"localhost:65536", false, std::nullopt},
        {"localhost:18x", false, std::nullopt},
        {":1883", false, std::nullopt},
        {"mqtt://localhost:1883", false, std::nullopt},
        {"a:b:c", false, std::nullopt},
        {"[::1", false, std::nullopt},
        {"[::1]1883", false, std::nullopt},
        {"two words:1883", false, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseBroker(c.text, c.tls), c.address) << c.text;
    }
}

class ReadMqttSettingsTest : public ::testing::Test {
protected:
    MqttSettingsRead read() { return readMqttSettings(profile, paths, "lathe-3"); }
    testing::FakeProfileSection profile;
    platform::PathMapper paths{[](const std::string& name) -> std::optional<std::string> {
        if (name == "QUORLAN_DRIVE_C") {
            return "/srv/c";
        }
        return std::nullopt;
    }};
};

TEST_F(ReadMqttSettingsTest, withoutMqttBroker_nothingIsPublished_andNothingIsSaid) {
    profile.values["MqttTopic"] = "plant/line1";
    const auto result = read();
    EXPECT_FALSE(result.settings.has_value());
    EXPECT_EQ(result.problem, "");
}

TEST_F(ReadMqttSettingsTest, aBrokerAlone_publishesUnderTheHostName) {
    profile.values["MqttBroker"] = " localhost:1883 ";
    const auto result = read();
    ASSERT_TRUE(result.settings.has_value());
    EXPECT_EQ(*result.settings, (MqttSettings{{"localhost", 1883}, "quorlan/lathe-3", "", "", ""}));
}

TEST_F(ReadMqttSettingsTest, everyKey_pathsMappedAsTheStationMapsThem) {
    profile.values["MqttBroker"] = "broker.shop.lan";
    profile.values["MqttTopic"] = "plant/line1/lathe-3/";
    profile.values["MqttCaFile"] = "C:\\certs\\shop-ca.pem";
    profile.values["MqttUser"] = "lathe3";
    profile.values["MqttPasswordFile"] = "/etc/quorlan/mqtt-password";
    const auto result = read();
    ASSERT_TRUE(result.settings.has_value());
    EXPECT_EQ(*result.settings, (MqttSettings{{"broker.shop.lan", 8883},
                                              "plant/line1/lathe-3",
                                              "/srv/c/certs/shop-ca.pem",
                                              "lathe3",
                                              "/etc/quorlan/mqtt-password"}));
}

TEST_F(ReadMqttSettingsTest, aValueThatCannotBeUsed_turnsPublishingOff_andSaysWhich) {
    struct Case {
        const char* key;
        const char* value;
        const char* problem;
    };
    const Case cases[] = {
        {"MqttBroker", "localhost:mqtt",
         "MqttBroker \"localhost:mqtt\" is not a broker's host:port (for example localhost:1883)"},
        {"MqttTopic", "plant/+/lathe",
         "MqttTopic \"plant/+/lathe\" is no topic to publish under (it may not be empty or hold + or #)"},
        {"MqttTopic", "plant/#",
         "MqttTopic \"plant/#\" is no topic to publish under (it may not be empty or hold + or #)"},
        {"MqttTopic", "/", "MqttTopic \"/\" is no topic to publish under (it may not be empty or hold + or #)"},
    };
    for (const auto& c : cases) {
        testing::FakeProfileSection section;
        section.values["MqttBroker"] = "localhost";
        section.values[c.key] = c.value;
        const auto result = readMqttSettings(section, paths, "lathe-3");
        EXPECT_FALSE(result.settings.has_value()) << c.value;
        EXPECT_EQ(result.problem, c.problem);
    }
}

TEST(DefaultTopicTest, aHostNameThatATopicLevelCannotHold_isMadeOneThatCan) {
    EXPECT_EQ(defaultTopic("lathe-3"), "quorlan/lathe-3");
    EXPECT_EQ(defaultTopic("a/b+c#"), "quorlan/a_b_c_");
    EXPECT_EQ(defaultTopic(""), "quorlan/station");
}

} // namespace
} // namespace quorlan::events
