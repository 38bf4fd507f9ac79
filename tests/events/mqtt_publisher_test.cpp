#include "events/mqtt_publisher.h"
#include "fake_broker.h"
#include "history/history_fixture.h"
#include "history/outbox.h"
#include "json_fields.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorlan::events {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using testing::jsonField;
using testing::jsonId;
using testing::Published;

class PublisherTest : public ::testing::Test {
protected:
    PublisherTest() { store.store.open(); }

    PublisherOptions options() {
        PublisherOptions o;
        o.mqtt.broker = {"fake", 1883};
        o.mqtt.topic = "quorlan/m3";
        o.historyFile = path;
        o.version = "1.0.0";
        o.control = "built-in";
        o.clientId = "quorlan-test";
        o.firstRetry = std::chrono::milliseconds(20);
        o.longestRetry = std::chrono::milliseconds(80);
        o.markEvery = std::chrono::milliseconds(0);
        o.statusEvery = std::chrono::milliseconds(0);
        return o;
    }

    std::unique_ptr<MqttPublisher> start(PublisherOptions o) {
        return std::make_unique<MqttPublisher>(std::move(o), broker.connector());
    }
    std::unique_ptr<MqttPublisher> start() { return start(options()); }

    void record(const std::string& program) { store.store.record(testing::event(testing::kMay2 + ++m_time, program)); }
    void note(history::NoticeKind kind) {
        store.store.note({0, testing::kMay2 + ++m_time, kind, "local:cnc", "the control is not running"});
    }

    // The events published so far (the status left out), in the order they went.
    std::vector<Published> events() {
        std::vector<Published> result;
        for (const auto& message : broker.published()) {
            if (message.topic != "quorlan/m3/status") {
                result.push_back(message);
            }
        }
        return result;
    }
    std::vector<std::string> programs(const std::vector<Published>& messages) {
        std::vector<std::string> result;
        for (const auto& message : messages) {
            result.push_back(
                jsonField(message.payload, "program").value_or(jsonField(message.payload, "event").value()));
        }
        return result;
    }
    std::int64_t mark() { return history::Outbox(path, kOutboxConsumer).publishedThrough(); }

    testing::TempFolder folder;
    std::string path = folder.path("history.sqlite");
    testing::ReportingStore store{{path}};
    testing::FakeBroker broker;

private:
    std::int64_t m_time = 0;
};

TEST_F(PublisherTest, eachEntryGoesOnceInIdOrder_toItsTopic_andTheMarkFollowsOnlyAnUnbrokenRunOfAcks) {
    auto publisher = start();
    record("A");
    note(history::NoticeKind::ControlUnreachable);
    record("B");
    record("C");
    publisher->wake();
    ASSERT_TRUE(broker.eventually([&] { return events().size() == 4; }));

    const auto sent = events();
    EXPECT_THAT(programs(sent), ElementsAre("A.CNC", "control-unreachable", "B.CNC", "C.CNC"));
    EXPECT_EQ(sent[0].topic, "quorlan/m3/events/scan");
    EXPECT_EQ(sent[1].topic, "quorlan/m3/events/control");
    for (std::size_t i = 1; i < sent.size(); ++i) {
        EXPECT_GT(jsonId(sent[i].payload), jsonId(sent[i - 1].payload));
        EXPECT_FALSE(sent[i].retain);
    }

    broker.acknowledge(sent[0]);
    broker.acknowledge(sent[2]);
    ASSERT_TRUE(broker.eventually([&] { return mark() == jsonId(sent[0].payload); }));
    broker.acknowledge(sent[1]);
    ASSERT_TRUE(broker.eventually([&] { return mark() == jsonId(sent[2].payload); }));
    EXPECT_EQ(events().size(), 4u); // nothing went twice
    EXPECT_TRUE(publisher->takeReports().empty());
}

TEST_F(PublisherTest, noMoreThanTheWindowIsOutAtOnce) {
    auto o = options();
    o.window = 3;
    auto publisher = start(o);
    for (int i = 0; i < 5; ++i) {
        record("P" + std::to_string(i));
    }
    publisher->wake();
    ASSERT_TRUE(broker.eventually([&] { return events().size() == 3; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(events().size(), 3u);

    broker.acknowledge(events()[0]);
    ASSERT_TRUE(broker.eventually([&] { return events().size() == 4; }));
    EXPECT_EQ(programs(events()).back(), "P3.CNC");
}

TEST_F(PublisherTest, aLostConnection_sendsWhatWasNotAcknowledgedAgain_onTheNextSession_inOrder) {
    auto publisher = start();
    for (int i = 0; i < 4; ++i) {
        record("P" + std::to_string(i));
    }
    publisher->wake();
    ASSERT_TRUE(broker.eventually([&] { return events().size() == 4; }));
    broker.acknowledge(events()[0]);
    broker.acknowledge(events()[1]);
    ASSERT_TRUE(broker.eventually([&] { return mark() == jsonId(events()[1].payload); }));

    broker.dropConnection();
    ASSERT_TRUE(broker.eventually([&] { return events().size() == 6; }));

    EXPECT_THAT(programs(events()), ElementsAre("P0.CNC", "P1.CNC", "P2.CNC", "P3.CNC", "P2.CNC", "P3.CNC"));
    EXPECT_EQ(events()[4].session, 1);
    EXPECT_TRUE(publisher->takeReports().empty()) << "a connection mended at the next attempt is no news";

    // One that cannot be mended is told by what the next attempts meet.
    broker.answer = testing::FakeBroker::Answer::Refuse;
    broker.dropConnection();
    ASSERT_TRUE(broker.eventually([&] { return broker.sessions() >= 4; }));
    EXPECT_THAT(publisher->takeReports(), ElementsAre(publishingFailure(broker.refusal)));
}

TEST_F(PublisherTest, aBrokerThatRefuses_isSaidOnce_triedAgainWithLongerPauses_andItsReturnSaidOnce) {
    broker.answer = testing::FakeBroker::Answer::Refuse;
    auto publisher = start();
    record("A");
    publisher->wake();
    ASSERT_TRUE(broker.eventually([&] { return broker.sessions() >= 4; }));
    EXPECT_THAT(publisher->takeReports(), ElementsAre(publishingFailure(broker.refusal)));

    broker.refusal = "the broker fake:1883 refused the user name or password";
    ASSERT_TRUE(broker.eventually([&] { return !publisher->takeReports().empty(); }));

    broker.answer = testing::FakeBroker::Answer::Connect;
    ASSERT_TRUE(broker.eventually([&] { return events().size() == 1; }));
    ASSERT_TRUE(broker.eventually([&] { return !publisher->takeReports().empty(); }));
    EXPECT_TRUE(publisher->takeReports().empty());
}

TEST_F(PublisherTest, aBrokerThatNeverAnswers_isGivenUpAfterTheConnectTimeout_andTriedAgain) {
    broker.answer = testing::FakeBroker::Answer::Silence;
    auto o = options();
    o.connectTimeout = std::chrono::milliseconds(50);
    auto publisher = start(o);
    ASSERT_TRUE(broker.eventually([&] { return broker.sessions() >= 2; }));
    EXPECT_THAT(publisher->takeReports(),
                ElementsAre(publishingFailure("the broker fake:1883 did not answer within 0 s")));
}

TEST_F(PublisherTest, theStatusIsRetained_onlineWithTodaysCounts_andOfflineWhenTheStationStops) {
    broker.acknowledgeAtOnce = true;
    auto publisher = start();
    ASSERT_TRUE(broker.eventually([&] { return broker.published().size() == 1; }));
    const auto online = broker.published()[0];
    EXPECT_EQ(online.topic, "quorlan/m3/status");
    EXPECT_TRUE(online.retain);
    EXPECT_EQ(jsonField(online.payload, "state"), "online");
    EXPECT_EQ(jsonField(online.payload, "version"), "1.0.0");
    EXPECT_EQ(jsonField(online.payload, "control"), "built-in");

    record("A");
    note(history::NoticeKind::StationStopping);
    publisher->stop(std::chrono::seconds(5));

    const auto all = broker.published();
    ASSERT_GE(all.size(), 4u);
    EXPECT_THAT(programs(events()), ElementsAre("A.CNC", "station-stopping"));
    EXPECT_EQ(all.back().topic, "quorlan/m3/status");
    EXPECT_EQ(jsonField(all.back().payload, "state"), "offline");
    EXPECT_TRUE(all.back().retain);
    EXPECT_EQ(mark(), jsonId(events().back().payload));
}

TEST_F(PublisherTest, stoppingWhileTheBrokerIsAway_waitsForNothing_andTheRestGoesAfterTheNextStart) {
    broker.answer = testing::FakeBroker::Answer::Refuse;
    {
        auto publisher = start();
        record("A");
        note(history::NoticeKind::StationStopping);
        publisher->wake();
        const auto before = std::chrono::steady_clock::now();
        publisher->stop(std::chrono::seconds(30));
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    }
    broker.answer = testing::FakeBroker::Answer::Connect;
    auto restarted = start();
    ASSERT_TRUE(broker.eventually([&] { return events().size() == 2; }));
    EXPECT_THAT(programs(events()), ElementsAre("A.CNC", "station-stopping"));
}

TEST_F(PublisherTest, aNewPublisher_startsWithWhatHappensFromNowOn_notWithTheWholeHistory) {
    record("BEFORE");
    auto publisher = start();
    record("AFTER");
    publisher->wake();
    ASSERT_TRUE(broker.eventually([&] { return !events().empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_THAT(programs(events()), ElementsAre("AFTER.CNC"));
}

TEST_F(PublisherTest, thePasswordFile_isReadAtEachAttempt_andOneThatCannotBeReadIsSaid) {
    broker.answer = testing::FakeBroker::Answer::Refuse;
    auto o = options();
    o.mqtt.user = "station";
    o.mqtt.passwordFile = folder.path("password");
    auto publisher = start(o);
    ASSERT_TRUE(broker.eventually([&] { return !publisher->takeReports().empty(); }));
    EXPECT_EQ(broker.sessions(), 0);

    folder.write("password", "s3cret\r\nsecond line\n");
    ASSERT_TRUE(broker.eventually([&] { return broker.sessions() > 0; }));
    EXPECT_EQ(broker.attempts()[0].user, "station");
    EXPECT_EQ(broker.attempts()[0].password, "s3cret");
    EXPECT_EQ(broker.attempts()[0].willTopic, "quorlan/m3/status");
    EXPECT_EQ(jsonField(broker.attempts()[0].willPayload, "state"), "offline");
}

} // namespace
} // namespace quorlan::events
