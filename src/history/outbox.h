// The history as an outbox: a consumer (the event publisher) follows the history by id and keeps,
// in the history file itself, the id up to which its entries went out. Entries after that mark
// are what is still to go, after a broker that was away or after a restart alike.
//
// The outbox has its own connection to the file, so that it can run on a thread of its own beside
// the station's store: WAL lets it read while the station writes, and its mark is a write of a
// few bytes. Failures are thrown (sql::Error, SchemaError); the consumer decides what to say.
#pragma once

#include "history/local_time.h"
#include "history/notice.h"
#include "history/sqlite.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace quorlan::history {

inline constexpr std::size_t kOutcomeCount = static_cast<std::size_t>(kLastOutcome) + 1;

// What a status message tells of the scans: the last one, and how many of each outcome a range
// (today) has.
struct Tally {
    std::optional<Event> lastScan;
    std::array<std::int64_t, kOutcomeCount> counts{}; // by Outcome
    bool operator==(const Tally&) const = default;
};

class Outbox final {
public:
    // Opens an existing history file (the station's store makes it). Throws when it cannot.
    Outbox(const std::string& path, std::string consumer, const char* vfs = nullptr);

    // A consumer seen for the first time starts after the last entry there is now: what was kept
    // before it was set up is not its to send. A consumer seen before keeps its mark.
    void startHereIfNew();
    // The id through which this consumer's entries went out; 0 before the first.
    std::int64_t publishedThrough();
    // At most limit entries after the id, scans' events and notices together, in id order.
    std::vector<Entry> after(std::int64_t id, std::size_t limit);
    // Moves the mark forward; a mark behind the present one (a late acknowledgement) moves nothing.
    void markPublished(std::int64_t throughId);

    Tally tally(const TimeRange& range);

private:
    sql::Database m_db;
    std::string m_consumer;
};

} // namespace quorlan::history
