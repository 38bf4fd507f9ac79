// The publisher against a real broker: what a subscriber receives, a broker that goes away and
// comes back, a station that restarts, and the settings an installer can get wrong.
#include "events/mosquitto_session.h"
#include "events/mqtt_publisher.h"
#include "history/history_fixture.h"
#include "json_fields.h"
#include "test_broker.h"

#include <atomic>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorlan::events {
namespace {

using ::testing::ElementsAre;
using testing::eventually;
using ::testing::HasSubstr;
using testing::jsonField;
using testing::jsonId;

// The ids of the events received, each once, in the order of their first arrival: what a consumer
// that drops repeats sees.
std::vector<std::int64_t> idsOnce(const std::vector<std::string>& payloads) {
    std::vector<std::int64_t> ids;
    for (const auto& payload : payloads) {
        const std::int64_t id = jsonId(payload);
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) {
            ids.push_back(id);
        }
    }
    return ids;
}

bool increasing(const std::vector<std::int64_t>& ids) {
    return std::is_sorted(ids.begin(), ids.end()) && std::adjacent_find(ids.begin(), ids.end()) == ids.end();
}

class MosquittoPublisherTest : public ::testing::Test {
protected:
    MosquittoPublisherTest() { store.store.open(); }

    PublisherOptions options(const testing::TestBroker& broker) {
        PublisherOptions o;
        o.mqtt.broker = {broker.host(), broker.port()};
        o.mqtt.topic = "quorlan/lathe-3";
        o.historyFile = path;
        o.version = "1.0.0";
        o.control = "built-in";
        o.clientId = "quorlan-lathe-3";
        o.firstRetry = std::chrono::milliseconds(50);
        o.longestRetry = std::chrono::milliseconds(400);
        o.statusEvery = std::chrono::milliseconds(100);
        return o;
    }

    // Counts the attempts, so that a test sees the publisher keep trying.
    BrokerConnector counting() {
        return [this](const BrokerOptions& o, BrokerListener& listener) {
            ++attempts;
            return connectMosquitto(o, listener);
        };
    }

    // The 100 mixed scans of a shift: labels, set parts, 2D scans and commands, queued, refused
    // and failed, with the control lost and back between them.
    void recordMixed(int count, MqttPublisher& publisher) {
        for (int i = 0; i < count; ++i) {
            const auto time = testing::kMay2 + ++m_time;
            if (i % 10 == 9) {
                store.store.note(
                    {0, time, i % 20 == 9 ? history::NoticeKind::ControlUnreachable : history::NoticeKind::ControlBack,
                     "local:cnc", i % 20 == 9 ? "the control is not running" : ""});
            } else {
                const auto outcome = static_cast<history::Outcome>(i % 6);
                const auto kind = static_cast<history::ScanKind>(i % 7);
                store.store.record(testing::event(time, "P" + std::to_string(i), outcome, kind));
            }
            publisher.wake();
        }
    }

    testing::TempFolder folder;
    testing::TimeZone zone{"Europe/Berlin"};
    std::string path = folder.path("history.sqlite");
    testing::ReportingStore store{{path}};
    std::atomic<int> attempts{0};

private:
    std::int64_t m_time = 0;
};

TEST_F(MosquittoPublisherTest, aSubscriberReceivesEveryEventInOrder_withItsFields_andTheRetainedStatus) {
    testing::TestBroker broker;
    testing::Subscriber subscriber(broker, "integrator");
    MqttPublisher publisher(options(broker), connectMosquitto);
    recordMixed(100, publisher);

    ASSERT_TRUE(eventually([&] { return idsOnce(subscriber.payloads("/events/")).size() == 100; }));
    const auto payloads = subscriber.payloads("/events/");
    EXPECT_TRUE(increasing(idsOnce(payloads)));
    const auto scans = subscriber.payloads("quorlan/lathe-3/events/scan");
    ASSERT_EQ(scans.size(), 90u);
    for (const char* field : {"id", "time", "event", "kind", "scan", "program", "field", "x", "y", "z", "line",
                              "outcome", "reason", "control"}) {
        EXPECT_TRUE(jsonField(scans[1], field).has_value()) << field << " in " << scans[1];
    }
    EXPECT_EQ(jsonField(scans[1], "program"), "P1.CNC");
    EXPECT_EQ(jsonField(scans[1], "kind"), "set-part");
    EXPECT_EQ(jsonField(scans[1], "outcome"), "collected");
    const auto control = subscriber.payloads("quorlan/lathe-3/events/control");
    ASSERT_EQ(control.size(), 10u);
    EXPECT_EQ(jsonField(control[0], "event"), "control-unreachable");
    EXPECT_EQ(jsonField(control[0], "reason"), "the control is not running");
    EXPECT_EQ(jsonField(control[1], "event"), "control-back");

    // A subscriber that comes later is told the station's state at once.
    testing::Subscriber later(broker, "foreman", "quorlan/+/status");
    ASSERT_TRUE(eventually([&] {
        const auto status = later.payloads("/status");
        return !status.empty() && jsonField(status.back(), "program") == "P98.CNC";
    }));
    const auto status = later.messages().front();
    EXPECT_TRUE(status.retained);
    EXPECT_EQ(jsonField(status.payload, "state"), "online");
    EXPECT_TRUE(publisher.takeReports().empty());
}

TEST_F(MosquittoPublisherTest, theBrokerStoppedFor50Scans_thenStartedAgain_allArriveInOrder_noneLost) {
    testing::TestBroker broker;
    testing::Subscriber subscriber(broker, "integrator");
    MqttPublisher publisher(options(broker), connectMosquitto);
    recordMixed(10, publisher);
    ASSERT_TRUE(eventually([&] { return idsOnce(subscriber.payloads("/events/")).size() == 10; }));

    broker.stop();
    recordMixed(50, publisher);
    ASSERT_TRUE(eventually([&] { return !publisher.takeReports().empty(); }));
    broker.start();

    ASSERT_TRUE(eventually([&] { return idsOnce(subscriber.payloads("/events/")).size() == 60; }));
    EXPECT_TRUE(increasing(idsOnce(subscriber.payloads("/events/"))));
    ASSERT_TRUE(eventually([&] { return publisher.takeReports() == std::vector{publishingRecovered()}; }));
}

TEST_F(MosquittoPublisherTest, aStationRestarted_sendsWhatItCouldNotSendBefore) {
    testing::TestBroker broker;
    testing::Subscriber subscriber(broker, "integrator");
    broker.stop();
    {
        MqttPublisher before(options(broker), connectMosquitto);
        recordMixed(20, before);
        store.store.note({0, testing::kMay2 + 100, history::NoticeKind::StationStopping, "1.0.0", ""});
        before.stop(std::chrono::seconds(2));
    }
    broker.start();
    MqttPublisher after(options(broker), connectMosquitto);
    after.wake();

    ASSERT_TRUE(eventually([&] { return idsOnce(subscriber.payloads("/events/")).size() == 21; }));
    EXPECT_TRUE(increasing(idsOnce(subscriber.payloads("/events/"))));
    EXPECT_EQ(jsonField(subscriber.payloads("/events/station").back(), "event"), "station-stopping");
}

TEST_F(MosquittoPublisherTest, aStationThatStops_leavesItsStatusOffline) {
    testing::TestBroker broker;
    testing::Subscriber subscriber(broker, "integrator", "quorlan/+/status");
    {
        MqttPublisher publisher(options(broker), connectMosquitto);
        ASSERT_TRUE(eventually([&] { return !subscriber.payloads("/status").empty(); }));
        publisher.stop(std::chrono::seconds(5));
    }
    ASSERT_TRUE(eventually([&] {
        const auto status = subscriber.payloads("/status");
        return jsonField(status.back(), "state") == "offline";
    }));
}

TEST_F(MosquittoPublisherTest, tlsWithTheBrokersCa_andAUserWithItsPasswordFile) {
    testing::Certificates certificates(folder);
    testing::TestBroker broker({&certificates, "lathe3", "s3cret"});
    testing::Subscriber subscriber(broker, "integrator");
    auto o = options(broker);
    o.mqtt.caFile = certificates.ca;
    o.mqtt.user = "lathe3";
    o.mqtt.passwordFile = folder.write("password", "s3cret\n");
    MqttPublisher publisher(o, connectMosquitto);
    recordMixed(5, publisher);

    ASSERT_TRUE(eventually([&] { return idsOnce(subscriber.payloads("/events/")).size() == 5; }));
    EXPECT_TRUE(publisher.takeReports().empty());
}

TEST_F(MosquittoPublisherTest, badSettings_areSaidOnce_retried_andScanningIsNeverHeldUp) {
    testing::Certificates certificates(folder);
    testing::TestBroker plain;
    testing::TestBroker secured({&certificates, "lathe3", "s3cret"});
    const int nothing = testing::freePort();
    struct Case {
        const char* name;
        std::function<void(PublisherOptions&)> set;
        std::string said;
    };
    const std::vector<Case> cases = {
        {"wrong address",
         [&](PublisherOptions& o) {
             o.mqtt.broker = {"127.0.0.1", nothing};
         },
         "no broker answers at 127.0.0.1:" + std::to_string(nothing) + " (connection refused)"},
        {"unknown host",
         [&](PublisherOptions& o) {
             o.mqtt.broker = {"no-such-broker.invalid", 1883};
         },
         "the broker's host name no-such-broker.invalid is not known"},
        {"refused password",
         [&](PublisherOptions& o) {
             o.mqtt.broker = {secured.host(), secured.port()};
             o.mqtt.caFile = certificates.ca;
             o.mqtt.user = "lathe3";
             o.mqtt.passwordFile = folder.write("wrong-password", "guess\n");
         },
         "refused the user name lathe3 or its password (MqttUser, MqttPasswordFile)"},
        {"no user where one is needed",
         [&](PublisherOptions& o) {
             o.mqtt.broker = {secured.host(), secured.port()};
             o.mqtt.caFile = certificates.ca;
         },
         "wants a user name and password (MqttUser and MqttPasswordFile are not set)"},
        {"CA of another authority",
         [&](PublisherOptions& o) {
             o.mqtt.broker = {secured.host(), secured.port()};
             o.mqtt.caFile = certificates.otherCa;
         },
         "certificate verify failed"},
        {"CA file missing",
         [&](PublisherOptions& o) {
             o.mqtt.broker = {secured.host(), secured.port()};
             o.mqtt.caFile = folder.path("no-such-ca.pem");
         },
         "the CA file " + folder.path("no-such-ca.pem") + " cannot be read"},
        {"TLS port without a CA file",
         [&](PublisherOptions& o) {
             o.mqtt.broker = {secured.host(), secured.port()};
         },
         "closed the connection without an MQTT answer (does it want TLS? MqttCaFile is not set)"},
        {"TLS to a plain port",
         [&](PublisherOptions& o) {
             o.mqtt.broker = {"127.0.0.1", plain.port()};
             o.mqtt.caFile = certificates.ca;
         },
         "(does the broker use TLS on this port?)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        attempts = 0;
        auto o = options(plain);
        c.set(o);
        MqttPublisher publisher(o, counting());
        ASSERT_TRUE(eventually([&] { return attempts >= 3; }));
        const auto started = std::chrono::steady_clock::now();
        recordMixed(3, publisher);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2)); // a gross fault only
        const auto reports = publisher.takeReports();
        ASSERT_EQ(reports.size(), 1u) << ::testing::PrintToString(reports);
        EXPECT_THAT(reports[0], HasSubstr(c.said));
        EXPECT_THAT(reports[0], HasSubstr("Scanning goes on"));
    }
}

TEST_F(MosquittoPublisherTest, aPasswordMendedWhileTheStationRuns_isTakenAtTheNextAttempt) {
    testing::TestBroker broker({nullptr, "lathe3", "s3cret"});
    testing::Subscriber subscriber(broker, "integrator");
    auto o = options(broker);
    o.mqtt.user = "lathe3";
    o.mqtt.passwordFile = folder.write("password", "guess\n");
    MqttPublisher publisher(o, connectMosquitto);
    recordMixed(3, publisher);
    ASSERT_TRUE(eventually([&] { return !publisher.takeReports().empty(); }));

    folder.write("password", "s3cret\n");

    ASSERT_TRUE(eventually([&] { return idsOnce(subscriber.payloads("/events/")).size() == 3; }));
    ASSERT_TRUE(eventually([&] { return publisher.takeReports() == std::vector{publishingRecovered()}; }));
}

} // namespace
} // namespace quorlan::events
