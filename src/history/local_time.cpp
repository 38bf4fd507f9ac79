#include "history/local_time.h"

#include <cstdio>
#include <ctime>

namespace quorlan::history {

namespace {

struct LocalTime {
    LocalDay day;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The moment a local date and time stands for; nothing when no such date exists.
std::optional<std::int64_t> toMs(const LocalTime& local) {
    std::tm fields{};
    fields.tm_year = local.day.year - 1900;
    fields.tm_mon = local.day.month - 1;
    fields.tm_mday = local.day.day;
    fields.tm_hour = local.hour;
    fields.tm_min = local.minute;
    fields.tm_sec = local.second;
    fields.tm_isdst = -1; // whatever the rules say for that day
    const std::time_t seconds = std::mktime(&fields);
    // mktime moves a day that does not exist (February 30) to one that does: refuse that.
    if (seconds == -1 || fields.tm_mday != local.day.day || fields.tm_mon != local.day.month - 1) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(seconds) * 1000;
}

std::tm localFields(std::int64_t timeMs) {
    // Floor division, so that times before 1970 keep their second.
    const std::time_t seconds = static_cast<std::time_t>(timeMs >= 0 ? timeMs / 1000 : (timeMs - 999) / 1000);
    std::tm fields{};
    localtime_r(&seconds, &fields);
    return fields;
}

LocalDay nextDay(const LocalDay& day) {
    std::tm fields{};
    fields.tm_year = day.year - 1900;
    fields.tm_mon = day.month - 1;
    fields.tm_mday = day.day + 1;
    fields.tm_hour = 12; // noon: never inside a clock change
    fields.tm_isdst = -1;
    std::mktime(&fields);
    return {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday};
}

} // namespace

TimeRange dayRange(const LocalDay& day) {
    return {toMs({day}).value_or(0), toMs({nextDay(day)}).value_or(0)};
}

LocalDay dayOf(std::int64_t timeMs) {
    const std::tm fields = localFields(timeMs);
    return {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday};
}

std::string formatLocalTime(std::int64_t timeMs) {
    const std::tm fields = localFields(timeMs);
    const long offsetMinutes = fields.tm_gmtoff / 60;
    const long absolute = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld", fields.tm_year + 1900,
                  fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec,
                  static_cast<int>(((timeMs % 1000) + 1000) % 1000), offsetMinutes < 0 ? '-' : '+', absolute / 60,
                  absolute % 60);
    return text;
}

std::string formatHour(std::int64_t timeMs) {
    const std::tm fields = localFields(timeMs);
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", fields.tm_hour, fields.tm_min);
    return text;
}

std::optional<std::int64_t> parseLocalTime(std::string_view text, bool wholeDay) {
    LocalTime local;
    char separator = 0;
    int consumed = 0;
    const std::string copy(text);
    const int read =
        std::sscanf(copy.c_str(), "%4d-%2d-%2d%n%c%2d:%2d%n:%2d%n", &local.day.year, &local.day.month, &local.day.day,
                    &consumed, &separator, &local.hour, &local.minute, &consumed, &local.second, &consumed);
    const bool dateOnly = read == 3;
    const bool withTime = (read == 6 || read == 7) && (separator == ' ' || separator == 'T');
    if ((!dateOnly && !withTime) || static_cast<std::size_t>(consumed) != text.size() || local.day.month < 1 ||
        local.day.month > 12 || local.day.day < 1 || local.hour > 23 || local.minute > 59 || local.second > 59 ||
        local.hour < 0 || local.minute < 0 || local.second < 0) {
        return std::nullopt;
    }
    if (dateOnly && wholeDay) {
        if (!toMs(local)) {
            return std::nullopt;
        }
        return dayRange(local.day).toMs;
    }
    return toMs(local);
}

} // namespace quorlan::history
