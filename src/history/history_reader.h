// Reading the history while a station may be writing it: the pages of a table that fetches as it
// scrolls, the parts per hour of a day, the programs of a day, and every event of a range in order.
//
// WAL lets a reader and the station's writer work at once: a query sees the file as it was when
// the query began, and neither waits for the other.
#pragma once

#include "history/event.h"
#include "history/local_time.h"
#include "history/sqlite.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorlan::history {

struct Filter {
    std::optional<TimeRange> range;
    std::string program; // a program, or the start of its name; empty: every program
    std::optional<Outcome> outcome;
};

// Where the next page of newest-first rows begins: just after the last row of the one before.
struct Cursor {
    std::int64_t timeMs = 0;
    std::int64_t id = 0;
};

struct HourCount {
    int hour = 0; // whole hours since the range began
    Outcome outcome = Outcome::Queued;
    std::int64_t count = 0;
    bool operator==(const HourCount&) const = default;
};

class HistoryReader final {
public:
    // Throws sql::Error when the file cannot be opened (it does not exist yet, for one), and
    // SchemaError for a file of a newer version or of another program. A file of an older version
    // is brought up to date when it may be written.
    explicit HistoryReader(const std::string& path, const char* vfs = nullptr);

    // Newest first (by time, then by id), at most limit rows after the cursor.
    std::vector<Event> page(const Filter& filter, const std::optional<Cursor>& after, std::size_t limit);

    // The events of the filter whose outcome counts as a part (isPartOutcome), per hour from the
    // start of its range (which it needs) and by outcome.
    std::vector<HourCount> partsPerHour(const Filter& filter);

    // The programs named in the filter's range (all of them without one), in order, at most limit.
    std::vector<std::string> programs(const std::optional<TimeRange>& range, std::size_t limit);

    // Every event of the filter, oldest first, as one consistent snapshot, without holding more
    // than one row at a time. Returns how many there were.
    std::int64_t forEach(const Filter& filter, const std::function<void(const Event&)>& each);

private:
    sql::Database m_db;
};

} // namespace quorlan::history
