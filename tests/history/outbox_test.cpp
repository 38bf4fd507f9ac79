#include "fault_vfs.h"
#include "history/event_row.h"
#include "history/outbox.h"
#include "history/schema.h"
#include "history_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace quorlan::history {
namespace {

using ::testing::ElementsAre;
using testing::event;
using testing::kMay2;

Notice notice(std::int64_t timeMs, NoticeKind kind, const std::string& subject) {
    return {0, timeMs, kind, subject, kind == NoticeKind::ControlUnreachable ? "the control is not running" : ""};
}

// "P1.CNC" for a scan's event, "control-back" for a notice: what a test compares.
std::vector<std::string> namesOf(const std::vector<Entry>& entries) {
    std::vector<std::string> names;
    for (const Entry& entry : entries) {
        if (const auto* scan = std::get_if<Event>(&entry)) {
            names.push_back(scan->program);
        } else {
            names.emplace_back(noticeName(std::get<Notice>(entry).kind));
        }
    }
    return names;
}

class OutboxTest : public ::testing::Test {
protected:
    testing::TempFolder folder;
    testing::TimeZone zone{"Europe/Berlin"};
    std::string path = folder.path("history.sqlite");
};

TEST_F(OutboxTest, scansAndNotices_areOneSeriesOfIds_inTheOrderTheyHappened) {
    testing::ReportingStore s({path});
    s.store.note(notice(kMay2, NoticeKind::StationStarted, "1.0.0"));
    s.store.record(event(kMay2 + 1, "P1"));
    s.store.note(notice(kMay2 + 2, NoticeKind::ControlUnreachable, "local:cnc"));
    s.store.record(event(kMay2 + 3, "P2"));
    s.store.record(event(kMay2 + 4, "P3"));
    s.store.note(notice(kMay2 + 5, NoticeKind::ControlBack, "local:cnc"));
    s.store.record(event(kMay2 + 6, "P4"));

    Outbox outbox(path, "mqtt");
    const auto all = outbox.after(0, 100);

    EXPECT_THAT(namesOf(all), ElementsAre("station-started", "P1.CNC", "control-unreachable", "P2.CNC", "P3.CNC",
                                          "control-back", "P4.CNC"));
    for (std::size_t i = 1; i < all.size(); ++i) {
        EXPECT_GT(idOf(all[i]), idOf(all[i - 1])) << i;
    }
    const auto& unreachable = std::get<Notice>(all[2]);
    EXPECT_EQ(unreachable, (Notice{idOf(all[2]), kMay2 + 2, NoticeKind::ControlUnreachable, "local:cnc",
                                   "the control is not running"}));
    EXPECT_THAT(namesOf(outbox.after(idOf(all[1]), 3)), ElementsAre("control-unreachable", "P2.CNC", "P3.CNC"));
    EXPECT_TRUE(s.reports.empty());
}

TEST_F(OutboxTest, idsAreNeverGivenTwice_evenWhenRetentionRemovedEveryRow) {
    testing::ReportingStore s({path});
    s.store.record(event(kMay2, "A"));
    s.store.note(notice(kMay2 + 1, NoticeKind::PortLost, "/dev/ttyUSB0"));
    const auto before = Outbox(path, "mqtt").after(0, 10);
    ASSERT_EQ(before.size(), 2u);
    s.store.removeOlderThan(kMay2 + 10, std::chrono::seconds(5));
    ASSERT_TRUE(Outbox(path, "mqtt").after(0, 10).empty());

    s.store.note(notice(kMay2 + 20, NoticeKind::PortBack, "/dev/ttyUSB0"));
    s.store.record(event(kMay2 + 21, "B"));

    const auto after = Outbox(path, "mqtt").after(0, 10);
    ASSERT_THAT(namesOf(after), ElementsAre("port-back", "B.CNC"));
    EXPECT_GT(idOf(after[0]), idOf(before[1]));
    EXPECT_GT(idOf(after[1]), idOf(after[0]));
}

TEST_F(OutboxTest, eachConsumerHasItsOwnMark_andALateAcknowledgementMovesNothingBack) {
    testing::ReportingStore s({path});
    for (int i = 0; i < 5; ++i) {
        s.store.record(event(kMay2 + i, "P" + std::to_string(i)));
    }
    Outbox outbox(path, "mqtt");
    const auto all = outbox.after(outbox.publishedThrough(), 100);
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(outbox.publishedThrough(), 0);

    outbox.markPublished(idOf(all[2]));
    outbox.markPublished(idOf(all[0]));

    // Read again as a restarted publisher would.
    Outbox restarted(path, "mqtt");
    EXPECT_EQ(restarted.publishedThrough(), idOf(all[2]));
    EXPECT_THAT(namesOf(restarted.after(restarted.publishedThrough(), 100)), ElementsAre("P3.CNC", "P4.CNC"));
    EXPECT_EQ(Outbox(path, "other").publishedThrough(), 0);
}

TEST_F(OutboxTest, aNewConsumer_startsAfterWhatIsThereNow_andOneSeenBeforeKeepsItsMark) {
    testing::ReportingStore s({path});
    s.store.record(event(kMay2, "OLD"));
    s.store.note(notice(kMay2 + 1, NoticeKind::StationStopping, "1.0.0"));
    Outbox outbox(path, "mqtt");
    outbox.startHereIfNew();
    s.store.record(event(kMay2 + 2, "NEW"));
    EXPECT_THAT(namesOf(outbox.after(outbox.publishedThrough(), 10)), ElementsAre("NEW.CNC"));

    outbox.startHereIfNew();
    EXPECT_THAT(namesOf(outbox.after(outbox.publishedThrough(), 10)), ElementsAre("NEW.CNC"));
}

TEST_F(OutboxTest, whatWaitedForTheFile_isInTheOutboxOnceWritten_stillInOrder) {
    testing::FaultVfs vfs("quorlan-outbox-faults");
    testing::ReportingStore s({path, false, std::chrono::milliseconds(10), 100, vfs.name()});
    s.store.record(event(kMay2, "A"));
    vfs.failWrites = SQLITE_FULL;
    s.store.note(notice(kMay2 + 1, NoticeKind::ControlUnreachable, "built-in"));
    s.store.record(event(kMay2 + 2, "B"));
    EXPECT_THAT(namesOf(Outbox(path, "mqtt").after(0, 10)), ElementsAre("A.CNC"));

    vfs.failWrites = 0;
    s.store.record(event(kMay2 + 3, "C"));

    EXPECT_THAT(namesOf(Outbox(path, "mqtt").after(0, 10)),
                ElementsAre("A.CNC", "control-unreachable", "B.CNC", "C.CNC"));
    ASSERT_EQ(s.reports.size(), 2u);
    EXPECT_EQ(s.reports[1], "History is being recorded again; the 1 scans made meanwhile are in it.");
}

TEST_F(OutboxTest, tally_givesTheLastScanAndTheRangesCountsByOutcome) {
    testing::ReportingStore s({path});
    s.store.record(event(kMay2 - 1000, "YESTERDAY"));
    s.store.record(event(kMay2 + 1, "A"));
    s.store.record(event(kMay2 + 2, "B", Outcome::Refused));
    s.store.record(event(kMay2 + 3, "C"));
    s.store.note(notice(kMay2 + 4, NoticeKind::StationStopping, "1.0.0"));

    const Tally tally = Outbox(path, "mqtt").tally(dayRange({2024, 5, 2}));

    ASSERT_TRUE(tally.lastScan.has_value());
    EXPECT_EQ(tally.lastScan->program, "C.CNC");
    EXPECT_EQ(tally.counts[static_cast<std::size_t>(Outcome::Queued)], 2);
    EXPECT_EQ(tally.counts[static_cast<std::size_t>(Outcome::Refused)], 1);
    EXPECT_EQ(tally.counts[static_cast<std::size_t>(Outcome::Failed)], 0);
    EXPECT_EQ(Outbox(path, "mqtt").tally(dayRange({2024, 5, 3})).counts, Tally{}.counts);
}

TEST_F(OutboxTest, aFileOfTheFirstSchema_keepsItsEventsAndIdsWhenNoticesArrive) {
    {
        sql::Database db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        migrate(db, migrations().first(1));
        auto insert = db.prepare(kInsertEvent);
        bindEvent(insert, event(kMay2, "OLD"));
        insert.step();
    }
    testing::ReportingStore s({path});
    s.store.note(notice(kMay2 + 1, NoticeKind::StationStarted, "1.0.0"));

    const auto all = Outbox(path, "mqtt").after(0, 10);
    EXPECT_THAT(namesOf(all), ElementsAre("OLD.CNC", "station-started"));
    EXPECT_TRUE(s.reports.empty());
}

TEST_F(OutboxTest, noFileYet_isAFailureToOpen_notAnEmptyFileMadeBehindTheStationsBack) {
    EXPECT_THROW(Outbox(path, "mqtt"), sql::Error);
    EXPECT_FALSE(std::filesystem::exists(path));
}

} // namespace
} // namespace quorlan::history
