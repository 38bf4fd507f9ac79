#include "history/history_store.h"

#include "history/event_row.h"
#include "history/failure.h"
#include "history/schema.h"

#include <filesystem>
#include <sqlite3.h>

namespace quorlan::history {

namespace {

constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;
constexpr int kRemovalBatch = 2000;
constexpr int kVacuumPagesPerBatch = 500;

} // namespace

std::optional<std::int64_t> retentionCutoff(std::int64_t nowMs, int days) {
    if (days <= 0) {
        return std::nullopt;
    }
    return nowMs - days * kDayMs;
}

HistoryStore::HistoryStore(StoreOptions options, StatusReport report)
    : m_options(std::move(options)), m_report(std::move(report)) {}

HistoryStore::~HistoryStore() {
    close();
}

bool HistoryStore::open() {
    return attempt([] {});
}

void HistoryStore::record(Event event) {
    keep(std::move(event));
}

void HistoryStore::note(Notice notice) {
    keep(std::move(notice));
}

void HistoryStore::keep(Entry entry) {
    if (m_waiting.size() >= m_options.maxWaiting && !m_waiting.empty()) {
        if (std::holds_alternative<Event>(m_waiting.front())) {
            ++m_lost;
            m_keptMeanwhile -= m_keptMeanwhile > 0 ? 1 : 0;
        }
        m_waiting.pop_front();
    }
    const bool scan = std::holds_alternative<Event>(entry);
    m_waiting.push_back(std::move(entry));
    if (!attempt([] {}) && scan) {
        ++m_keptMeanwhile;
    }
}

// Runs work on the open file after the waiting events are written. Any failure closes the file,
// so that the next attempt starts afresh: a file moved away, mended or unlocked is found again.
template <typename Work> bool HistoryStore::attempt(Work work) {
    try {
        ensureOpen();
        writeWaiting();
        work();
    } catch (const std::exception& error) {
        close();
        if (!m_failing) {
            m_failing = true;
            m_report(failureStatus(describeFailure(m_options.path, error)));
        }
        return false;
    }
    if (m_failing) {
        m_failing = false;
        m_report(recoveryStatus(m_keptMeanwhile, m_lost));
        m_keptMeanwhile = 0;
        m_lost = 0;
    }
    return true;
}

void HistoryStore::ensureOpen() {
    if (m_db) {
        // A file moved away or deleted under the open connection would take the events with it,
        // unseen: a new file at the path is what the settings ask for. The log beside the path
        // still belongs to the old file, and SQLite leaves it there when it closes a moved file;
        // a new file at the path would read it as its own. So the log goes into the old file
        // first and is emptied.
        int moved = 0;
        sqlite3_file_control(m_db->handle(), "main", SQLITE_FCNTL_HAS_MOVED, &moved);
        if (moved == 0) {
            return;
        }
        sqlite3_wal_checkpoint_v2(m_db->handle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
        close();
    }
    if (m_options.createFolder) {
        std::error_code ignored; // a folder that cannot be made shows as the file not opening
        std::filesystem::create_directories(std::filesystem::path(m_options.path).parent_path(), ignored);
    }
    auto db =
        std::make_unique<sql::Database>(m_options.path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, m_options.vfs);
    sqlite3_busy_timeout(db->handle(), static_cast<int>(m_options.busyTimeout.count()));
    db->exec("PRAGMA journal_mode = WAL");
    db->exec("PRAGMA synchronous = NORMAL");
    migrate(*db);
    m_insert.emplace(db->prepare(kInsertEvent));
    m_insertNotice.emplace(db->prepare(kInsertNotice));
    m_db = std::move(db);
}

void HistoryStore::writeWaiting() {
    if (m_waiting.empty()) {
        return;
    }
    sql::Transaction transaction(*m_db);
    for (const Entry& entry : m_waiting) {
        sql::Statement& insert = std::holds_alternative<Event>(entry) ? *m_insert : *m_insertNotice;
        if (const auto* event = std::get_if<Event>(&entry)) {
            bindEvent(insert, *event);
        } else {
            bindNotice(insert, std::get<Notice>(entry));
        }
        insert.step();
        insert.reset();
    }
    transaction.commit();
    m_waiting.clear();
}

void HistoryStore::close() {
    m_insertNotice.reset();
    m_insert.reset();
    m_db.reset();
}

RetentionResult HistoryStore::removeOlderThan(std::int64_t cutoffMs, std::chrono::milliseconds budget) {
    const auto deadline = std::chrono::steady_clock::now() + budget;
    RetentionResult result;
    attempt([&] {
        auto removeEvents = m_db->prepare("DELETE FROM events WHERE id IN"
                                          " (SELECT id FROM events WHERE time < ?1 ORDER BY time LIMIT ?2)");
        auto removeNotices = m_db->prepare("DELETE FROM notices WHERE id IN"
                                           " (SELECT id FROM notices WHERE time < ?1 ORDER BY time LIMIT ?2)");
        const auto removeBatch = [this, cutoffMs](sql::Statement& remove) {
            remove.bind(1, cutoffMs).bind(2, std::int64_t{kRemovalBatch});
            remove.step();
            remove.reset();
            return sqlite3_changes(m_db->handle());
        };
        do {
            sql::Transaction transaction(*m_db);
            const int removed = removeBatch(removeEvents);
            const int removedNotices = removeBatch(removeNotices);
            // Freed pages go back to the file system a little at a time, each batch its share.
            m_db->exec("PRAGMA incremental_vacuum(" + std::to_string(kVacuumPagesPerBatch) + ")");
            transaction.commit();
            result.removed += removed + removedNotices;
            result.complete = removed < kRemovalBatch && removedNotices < kRemovalBatch;
        } while (!result.complete && std::chrono::steady_clock::now() < deadline);
    });
    return result;
}

void HistoryStore::flush() {
    if (m_db && m_waiting.empty()) {
        // Best effort: a checkpoint that cannot finish now (a reader holds the log) finishes later,
        // and a real failure shows at the next record.
        sqlite3_wal_checkpoint_v2(m_db->handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    }
}

} // namespace quorlan::history
