#include "events/payload.h"
#include "history/history_fixture.h"

#include <gtest/gtest.h>

namespace quorlan::events {
namespace {

class PayloadTest : public ::testing::Test {
protected:
    testing::TimeZone zone{"Europe/Berlin"};
};

TEST_F(PayloadTest, aScan_carriesWhatItsHistoryRowHolds) {
    history::Event scan = testing::event(testing::kMay2 + 14 * history::kHourMs + 187123, "FLANGE");
    scan.id = 57;
    scan.line = "#161=FLANGE.CNC;#162= ;";

    EXPECT_EQ(eventTopic("quorlan/lathe-3", scan), "quorlan/lathe-3/events/scan");
    EXPECT_EQ(eventPayload(scan),
              R"({"id":57,"time":"2024-05-02T14:03:07.123+02:00","event":"scan","kind":"label","scan":"FLANGE",)"
              R"("program":"FLANGE.CNC","field":"N","x":"600","y":"400","z":"18","line":"#161=FLANGE.CNC;#162= ;",)"
              R"("outcome":"queued","reason":"","control":"built-in"})");
}

TEST_F(PayloadTest, eachNotice_goesToItsTopic_withItsSubjectNamed) {
    struct Case {
        history::NoticeKind kind;
        const char* subject;
        const char* detail;
        const char* topic;
        const char* payload;
    };
    const Case cases[] = {
        {history::NoticeKind::StationStarted, "1.0.0", "", "station",
         R"({"id":8,"time":"2024-05-02T00:00:00.000+02:00","event":"station-started","version":"1.0.0"})"},
        {history::NoticeKind::StationStopping, "1.0.0", "", "station",
         R"({"id":8,"time":"2024-05-02T00:00:00.000+02:00","event":"station-stopping","version":"1.0.0"})"},
        {history::NoticeKind::ControlUnreachable, "local:cnc", "the control is not running", "control",
         R"({"id":8,"time":"2024-05-02T00:00:00.000+02:00","event":"control-unreachable","control":"local:cnc",)"
         R"("reason":"the control is not running"})"},
        {history::NoticeKind::ControlBack, "local:cnc", "", "control",
         R"({"id":8,"time":"2024-05-02T00:00:00.000+02:00","event":"control-back","control":"local:cnc"})"},
        {history::NoticeKind::PortLost, "/dev/ttyUSB0", "device removed", "port",
         R"({"id":8,"time":"2024-05-02T00:00:00.000+02:00","event":"port-lost","port":"/dev/ttyUSB0",)"
         R"("reason":"device removed"})"},
        {history::NoticeKind::PortBack, "/dev/ttyUSB0", "", "port",
         R"({"id":8,"time":"2024-05-02T00:00:00.000+02:00","event":"port-back","port":"/dev/ttyUSB0"})"},
    };
    for (const auto& c : cases) {
        const history::Notice notice{8, testing::kMay2, c.kind, c.subject, c.detail};
        EXPECT_EQ(eventTopic("p", notice), std::string("p/events/") + c.topic) << c.payload;
        EXPECT_EQ(eventPayload(notice), c.payload);
    }
}

TEST_F(PayloadTest, theStatus_andTheWillThatStandsInForItWhenTheStationIsGone) {
    StationStatus status;
    status.timeMs = testing::kMay2 + 3600000;
    status.sinceMs = testing::kMay2;
    status.version = "1.0.0";
    status.control = "built-in";
    history::Event last = testing::event(testing::kMay2 + 60000, "FLANGE", history::Outcome::Refused);
    last.id = 12;
    status.today.lastScan = last;
    status.today.counts[static_cast<std::size_t>(history::Outcome::Queued)] = 11;
    status.today.counts[static_cast<std::size_t>(history::Outcome::Refused)] = 1;

    EXPECT_EQ(statusTopic("quorlan/lathe-3"), "quorlan/lathe-3/status");
    EXPECT_EQ(statusPayload(status),
              R"({"state":"online","time":"2024-05-02T01:00:00.000+02:00","version":"1.0.0","control":"built-in",)"
              R"("since":"2024-05-02T00:00:00.000+02:00","lastScan":{"id":12,"time":"2024-05-02T00:01:00.000+02:00",)"
              R"("kind":"label","program":"FLANGE.CNC","outcome":"refused"},"today":{"queued":11,"collected":0,)"
              R"("done":0,"refused":1,"failed":0,"reached-after-all":0}})");
    status.online = false;
    status.today = {};
    EXPECT_TRUE(statusPayload(status).starts_with(R"({"state":"offline","time":)"));
    EXPECT_NE(statusPayload(status).find(R"("lastScan":null)"), std::string::npos);
    EXPECT_EQ(willPayload("1.0.0", "local:cnc"), R"({"state":"offline","version":"1.0.0","control":"local:cnc"})");
}

TEST(JsonStringTest, anyBytes_makeAStringThatEveryParserTakes) {
    struct Case {
        std::string text;
        std::string json;
    };
    const Case cases[] = {
        {"FLANGE", R"("FLANGE")"},
        {"say \"hi\"\\", R"("say \"hi\"\\")"},
        {"a\tb\r\n\x1b", R"("a\tb\r\n\u001b")"},
        {"\xC3\xB1 \xE2\x82\xAC \xF0\x9F\x94\xA7", "\"\xC3\xB1 \xE2\x82\xAC \xF0\x9F\x94\xA7\""}, // ñ € 🔧
        {"\xF1"
         "abc",
         "\"\xEF\xBF\xBD"
         "abc\""},                                                    // a Windows-1252 byte that slipped through
        {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                 // an overlong "/"
        {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""}, // a surrogate
        {"\xE2\x82", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                 // cut short
        {std::string("a\0b", 3), R"("a\u0000b")"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(jsonString(c.text), c.json) << c.json;
    }
}

} // namespace
} // namespace quorlan::events
