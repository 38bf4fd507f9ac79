// The station's local time for the history: days as the shop counts them (a day of a clock change
// has 23 or 25 hours), and times written as people and spreadsheets read them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorlan::history {

struct LocalDay {
    int year = 1970;
    int month = 1; // 1 to 12
    int day = 1;   // 1 to 31
    bool operator==(const LocalDay&) const = default;
};

// Milliseconds since 1970 UTC; from is included, to is not.
struct TimeRange {
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    bool operator==(const TimeRange&) const = default;
};

inline constexpr std::int64_t kHourMs = 60LL * 60 * 1000;

// From local midnight to the next one.
TimeRange dayRange(const LocalDay& day);
LocalDay dayOf(std::int64_t timeMs);

// "2024-05-02T14:03:07.123+02:00"
std::string formatLocalTime(std::int64_t timeMs);
// "14:00", the local hour at which an hour of the chart begins.
std::string formatHour(std::int64_t timeMs);

// A local date "2024-05-02" (its midnight) or date and time "2024-05-02 14:30" or
// "2024-05-02T14:30:15"; nothing for anything else, such as 2024-02-30.
// With wholeDay, a bare date means its end (the next midnight), as "until" a day includes it.
std::optional<std::int64_t> parseLocalTime(std::string_view text, bool wholeDay);

} // namespace quorlan::history
