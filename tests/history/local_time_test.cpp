#include "history/local_time.h"
#include "history_fixture.h"

#include <gtest/gtest.h>

namespace quorlan::history {
namespace {

using testing::kMay2;

TEST(LocalTimeTest, parse_datesAndTimes_aBareDateUntilIncludesItsDay) {
    testing::TimeZone zone("Europe/Berlin");
    struct Case {
        const char* text;
        bool wholeDay;
        std::optional<std::int64_t> expected;
    };
    const Case cases[] = {
        {"2024-05-02", false, kMay2},
        {"2024-05-02", true, kMay2 + 24 * kHourMs},
        {"2024-05-02 14:30", false, kMay2 + 14 * kHourMs + 30 * 60000},
        {"2024-05-02T14:30:15", true, kMay2 + 14 * kHourMs + 30 * 60000 + 15000},
        {"2024-02-29", false, 1709161200000},
        {"2023-02-29", false, std::nullopt},
        {"2024-13-01", false, std::nullopt},
        {"2024-05-02 25:00", false, std::nullopt},
        {"2024-05-02x", false, std::nullopt},
        {"02.05.2024", false, std::nullopt},
        {"", false, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseLocalTime(c.text, c.wholeDay), c.expected) << c.text;
    }
}

TEST(LocalTimeTest, days_haveTheLengthTheClockGivesThem) {
    testing::TimeZone zone("Europe/Berlin");
    const auto hours = [](const LocalDay& day) { return (dayRange(day).toMs - dayRange(day).fromMs) / kHourMs; };
    EXPECT_EQ(hours({2024, 5, 2}), 24);
    EXPECT_EQ(hours({2024, 3, 31}), 23);
    EXPECT_EQ(hours({2024, 10, 27}), 25);
    EXPECT_EQ(hours({2024, 12, 31}), 24);
    EXPECT_EQ(dayRange({2024, 12, 31}).toMs, dayRange({2025, 1, 1}).fromMs);
    EXPECT_EQ(dayOf(kMay2), (LocalDay{2024, 5, 2}));
    EXPECT_EQ(dayOf(kMay2 - 1), (LocalDay{2024, 5, 1}));
}

TEST(LocalTimeTest, format_showsLocalTimeWithItsOffset) {
    testing::TimeZone zone("Europe/Berlin");
    EXPECT_EQ(formatLocalTime(kMay2 + 1), "2024-05-02T00:00:00.001+02:00");
    EXPECT_EQ(formatLocalTime(1704067200000), "2024-01-01T01:00:00.000+01:00");
    testing::TimeZone newYork("America/New_York");
    EXPECT_EQ(formatLocalTime(kMay2), "2024-05-01T18:00:00.000-04:00");
}

} // namespace
} // namespace quorlan::history
