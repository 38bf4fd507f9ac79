#include "history_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>

namespace quorlan::history {
namespace {

using ::testing::ElementsAre;
using testing::event;
using testing::kMay2;
using testing::programsOf;

constexpr std::int64_t kHour = kHourMs;

class HistoryReaderTest : public ::testing::Test {
protected:
    void record(std::initializer_list<Event> events) {
        for (const auto& e : events) {
            s.store.record(e);
        }
    }

    testing::TempFolder folder;
    testing::TimeZone zone{"Europe/Berlin"};
    std::string path = folder.path("history.sqlite");
    testing::ReportingStore s{{path}};
};

TEST_F(HistoryReaderTest, pages_giveEveryEventOnceNewestFirst_throughEventsOfTheSameTime) {
    for (int i = 0; i < 25; ++i) {
        s.store.record(event(kMay2 + (i / 4) * 1000, "P" + std::to_string(i)));
    }
    HistoryReader reader(path);
    std::vector<Event> seen;
    std::optional<Cursor> cursor;
    for (auto page = reader.page({}, cursor, 10); !page.empty(); page = reader.page({}, cursor, 10)) {
        EXPECT_LE(page.size(), 10u);
        seen.insert(seen.end(), page.begin(), page.end());
        cursor = Cursor{page.back().timeMs, page.back().id};
    }
    ASSERT_EQ(seen.size(), 25u);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].program, "P" + std::to_string(24 - i) + ".CNC");
    }
}

TEST_F(HistoryReaderTest, filters_byDayProgramAndOutcome_aloneAndTogether) {
    const TimeRange may2 = dayRange({2024, 5, 2});
    record({
        event(kMay2 - 1, "FLANGE"), // the day before, 23:59:59.999
        event(kMay2, "FLANGE"),     // midnight
        event(kMay2 + 5 * kHour, "FLANGE2", Outcome::Refused), event(kMay2 + 6 * kHour, "FLANG", Outcome::Failed),
        event(kMay2 + 24 * kHour - 1, "PLATE"),
        event(kMay2 + 24 * kHour, "FLANGE", Outcome::Refused), // the next midnight
    });
    struct Case {
        const char* name;
        Filter filter;
        std::vector<std::string> programs; // newest first
    };
    const std::vector<Case> cases = {
        {"every event", {}, {"FLANGE.CNC", "PLATE.CNC", "FLANG.CNC", "FLANGE2.CNC", "FLANGE.CNC", "FLANGE.CNC"}},
        {"the day", {may2, "", {}}, {"PLATE.CNC", "FLANG.CNC", "FLANGE2.CNC", "FLANGE.CNC"}},
        {"a name's start", {{}, "FLANGE", {}}, {"FLANGE.CNC", "FLANGE2.CNC", "FLANGE.CNC", "FLANGE.CNC"}},
        {"a whole name", {{}, "FLANG.CNC", {}}, {"FLANG.CNC"}},
        {"an outcome", {{}, "", Outcome::Refused}, {"FLANGE.CNC", "FLANGE2.CNC"}},
        {"all three", {may2, "FLANGE", Outcome::Refused}, {"FLANGE2.CNC"}},
        {"nothing matches", {may2, "NONE", {}}, {}},
    };
    HistoryReader reader(path);
    for (const auto& c : cases) {
        EXPECT_EQ(programsOf(reader.page(c.filter, std::nullopt, 100)), c.programs) << c.name;
        std::vector<std::string> oldestFirst;
        reader.forEach(c.filter, [&](const Event& e) { oldestFirst.insert(oldestFirst.begin(), e.program); });
        EXPECT_EQ(oldestFirst, c.programs) << c.name << " (export order)";
    }
}

TEST_F(HistoryReaderTest, partsPerHour_countsPartsByOutcome_notCommandsOrSetParts) {
    record({
        event(kMay2 + 7 * kHour, "A"), event(kMay2 + 7 * kHour + 59 * 60000, "B"),
        event(kMay2 + 7 * kHour + 100, "C", Outcome::Refused), event(kMay2 + 8 * kHour, "D", Outcome::Failed),
        event(kMay2 + 8 * kHour + 1, "E", Outcome::ReachedAfterAll),
        event(kMay2 + 8 * kHour + 2, "", Outcome::Done, ScanKind::Command),
        event(kMay2 + 8 * kHour + 3, "F", Outcome::Collected, ScanKind::SetPart),
        event(kMay2 + 30 * kHour, "G"), // another day
    });
    HistoryReader reader(path);

    const auto counts = reader.partsPerHour({dayRange({2024, 5, 2}), "", {}});

    EXPECT_THAT(counts, ElementsAre(HourCount{7, Outcome::Queued, 2}, HourCount{7, Outcome::Refused, 1},
                                    HourCount{8, Outcome::Failed, 1}, HourCount{8, Outcome::ReachedAfterAll, 1}));
    EXPECT_TRUE(reader.partsPerHour({}).empty()) << "no range, no hours";
}

TEST_F(HistoryReaderTest, partsPerHour_onTheDayTheClocksGoBack_hasTwentyFiveHours) {
    const TimeRange day = dayRange({2024, 10, 27});
    ASSERT_EQ(day.toMs - day.fromMs, 25 * kHour);
    record({event(day.fromMs + 2 * kHour + 1800000, "SUMMER"), event(day.fromMs + 3 * kHour + 1800000, "WINTER"),
            event(day.fromMs + 24 * kHour + 1, "LAST")});
    HistoryReader reader(path);

    const auto counts = reader.partsPerHour({day, "", {}});

    EXPECT_THAT(counts, ElementsAre(HourCount{2, Outcome::Queued, 1}, HourCount{3, Outcome::Queued, 1},
                                    HourCount{24, Outcome::Queued, 1}));
    // Both 02:30s are at 02 on the clock; the hours say which is which.
    EXPECT_EQ(formatHour(day.fromMs + 2 * kHour), "02:00");
    EXPECT_EQ(formatHour(day.fromMs + 3 * kHour), "02:00");
}

TEST_F(HistoryReaderTest, programs_ofADayOrOfTheWholeHistory_eachOnceInOrder) {
    record({event(kMay2 - kHour, "OLD"), event(kMay2, "B"), event(kMay2 + 1, "A"), event(kMay2 + 2, "B"),
            event(kMay2 + 3, "", Outcome::Done, ScanKind::Command)});
    HistoryReader reader(path);

    EXPECT_THAT(reader.programs(dayRange({2024, 5, 2}), 100), ElementsAre("A.CNC", "B.CNC"));
    EXPECT_THAT(reader.programs(std::nullopt, 100), ElementsAre("A.CNC", "B.CNC", "OLD.CNC"));
    EXPECT_THAT(reader.programs(std::nullopt, 2), ElementsAre("A.CNC", "B.CNC"));
}

TEST(HistoryReaderOpenTest, aFileThatIsNotThere_isAnErrorNotANewFile) {
    testing::TempFolder folder;
    EXPECT_THROW(HistoryReader(folder.path("none.sqlite")), sql::Error);
    EXPECT_FALSE(std::filesystem::exists(folder.path("none.sqlite")));
}

} // namespace
} // namespace quorlan::history
