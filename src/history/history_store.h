// The station's history file, written as scans happen.
//
// Each event is one short transaction in a WAL-mode SQLite file. A commit reaches the operating
// system before record() returns, so killing the station loses at most the event being written;
// flush() puts it on the disk itself when the station is idle (see its comment).
//
// The file may fail at any time: its folder missing, read-only, the disk full, locked by another
// program, damaged. Then the failure is reported once, the store lets go of the file, and every
// later event tries again; the first that succeeds reports the recovery. Events that could not be
// written wait in memory (bounded) and go in with the first write that succeeds.
//
// The same file holds the station's notices (started, stopping, control and port lost and back),
// which wait and go in the same way.
#pragma once

#include "history/notice.h"
#include "history/recorder.h"
#include "history/sqlite.h"

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quorlan::history {

struct StoreOptions {
    std::string path;
    // The default place is made when it is missing; a folder the settings name is not, as a
    // missing one is more likely an unmounted disk than a folder to create.
    bool createFolder = false;
    // How long a write waits for a lock that another program holds before it counts as a failure.
    std::chrono::milliseconds busyTimeout{100};
    // Events kept in memory while the file cannot be written; beyond that the oldest are dropped.
    std::size_t maxWaiting = 10000;
    const char* vfs = nullptr; // SQLite's default file system unless a test injects faults
};

// Told once when the history stops working, and once when it works again.
using StatusReport = std::function<void(const std::string&)>;

struct RetentionResult {
    std::int64_t removed = 0;
    bool complete = false; // false: the time was up, the rest goes next time
};

class HistoryStore final : public Recorder {
public:
    HistoryStore(StoreOptions options, StatusReport report);
    ~HistoryStore() override;
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens the file (creating it and its schema), reporting a failure. Recording also opens it.
    bool open();

    void record(Event event) override;
    void note(Notice notice) override;

    // Removes the events and notices older than cutoffMs, in batches, until done or the budget is spent.
    RetentionResult removeOlderThan(std::int64_t cutoffMs, std::chrono::milliseconds budget);

    // Commits go to the operating system without waiting for the disk, which is what keeps a
    // record under a millisecond; a power cut could then lose the last ones. The station calls
    // this when it is idle: the log is synced and copied into the file.
    void flush();

    bool working() const { return !m_failing; }
    const std::string& path() const { return m_options.path; }
    std::size_t waiting() const { return m_waiting.size(); }

private:
    void keep(Entry entry);
    template <typename Work> bool attempt(Work work);
    void ensureOpen();
    void writeWaiting();
    void close();

    StoreOptions m_options;
    StatusReport m_report;
    std::unique_ptr<sql::Database> m_db;
    std::optional<sql::Statement> m_insert;
    std::optional<sql::Statement> m_insertNotice;
    std::deque<Entry> m_waiting;
    std::size_t m_lost = 0;          // scans' events dropped from a full memory since the failure began
    std::size_t m_keptMeanwhile = 0; // scans' events waiting since the present failure began
    bool m_failing = false;
};

// The cutoff for keeping the last days; nothing when days is 0 or less (keep everything).
std::optional<std::int64_t> retentionCutoff(std::int64_t nowMs, int days);

} // namespace quorlan::history
