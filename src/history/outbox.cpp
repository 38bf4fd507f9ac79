#include "history/outbox.h"

#include "history/event_row.h"
#include "history/schema.h"

#include <sqlite3.h>

namespace quorlan::history {

namespace {

// The publisher waits on its own thread: a store's commit in the way is worth waiting for.
constexpr int kBusyTimeoutMs = 2000;

} // namespace

Outbox::Outbox(const std::string& path, std::string consumer, const char* vfs)
    : m_db(path, SQLITE_OPEN_READWRITE, vfs), m_consumer(std::move(consumer)) {
    sqlite3_busy_timeout(m_db.handle(), kBusyTimeoutMs);
    migrate(m_db);
}

void Outbox::startHereIfNew() {
    auto start = m_db.prepare("INSERT INTO outbox (consumer, published_through) VALUES (?1, max("
                              "coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'events'), 0),"
                              " coalesce((SELECT max(id) FROM notices), 0))) ON CONFLICT (consumer) DO NOTHING");
    start.bind(1, m_consumer);
    start.step();
}

std::int64_t Outbox::publishedThrough() {
    auto query = m_db.prepare("SELECT published_through FROM outbox WHERE consumer = ?1");
    query.bind(1, m_consumer);
    return query.step() ? query.integer(0) : 0;
}

std::vector<Entry> Outbox::after(std::int64_t id, std::size_t limit) {
    const auto count = static_cast<std::int64_t>(limit);
    std::vector<Event> events;
    std::vector<Notice> notices;
    // One read transaction, so that the two tables are seen as of the same moment.
    m_db.exec("BEGIN");
    try {
        auto scans = m_db.prepare(std::string("SELECT ") + std::string(kEventColumns) +
                                  " FROM events WHERE id > ?1 ORDER BY id LIMIT ?2");
        scans.bind(1, id).bind(2, count);
        while (scans.step()) {
            events.push_back(readEvent(scans));
        }
        auto others = m_db.prepare(std::string("SELECT ") + std::string(kNoticeColumns) +
                                   " FROM notices WHERE id > ?1 ORDER BY id LIMIT ?2");
        others.bind(1, id).bind(2, count);
        while (others.step()) {
            notices.push_back(readNotice(others));
        }
    } catch (...) {
        m_db.exec("ROLLBACK");
        throw;
    }
    m_db.exec("COMMIT");

    std::vector<Entry> entries;
    auto event = events.begin();
    auto notice = notices.begin();
    while (entries.size() < limit && (event != events.end() || notice != notices.end())) {
        if (notice == notices.end() || (event != events.end() && event->id < notice->id)) {
            entries.emplace_back(std::move(*event++));
        } else {
            entries.emplace_back(std::move(*notice++));
        }
    }
    return entries;
}

void Outbox::markPublished(std::int64_t throughId) {
    auto mark = m_db.prepare("INSERT INTO outbox (consumer, published_through) VALUES (?1, ?2)"
                             " ON CONFLICT (consumer) DO UPDATE SET published_through ="
                             " max(published_through, excluded.published_through)");
    mark.bind(1, m_consumer).bind(2, throughId);
    mark.step();
}

Tally Outbox::tally(const TimeRange& range) {
    Tally tally;
    auto last =
        m_db.prepare(std::string("SELECT ") + std::string(kEventColumns) + " FROM events ORDER BY id DESC LIMIT 1");
    if (last.step()) {
        tally.lastScan = readEvent(last);
    }
    auto counts = m_db.prepare("SELECT outcome, count(*) FROM events WHERE time >= ?1 AND time < ?2 GROUP BY outcome");
    counts.bind(1, range.fromMs).bind(2, range.toMs);
    while (counts.step()) {
        if (const auto outcome = outcomeFromName(counts.textView(0))) {
            tally.counts.at(static_cast<std::size_t>(*outcome)) += counts.integer(1);
        }
    }
    return tally;
}

} // namespace quorlan::history
