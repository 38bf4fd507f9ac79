// A history file for the benchmarks: a store recording typical scans, and a file of a year's
// history, a million events, made once per run.
#pragma once

#include "fakes/temp_folder.h"
#include "history/event_row.h"
#include "history/history_store.h"
#include "history/local_time.h"
#include "history/schema.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <sqlite3.h>
#include <vector>

namespace quorlan::bench {

inline std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A plain label queued, as the station records it.
inline history::Event typicalEvent(std::int64_t timeMs, int n) {
    history::Event e;
    e.timeMs = timeMs;
    e.kind = history::ScanKind::Label;
    const std::string program = "PART" + std::to_string(n % 97);
    e.scan = program;
    e.program = program + ".CNC";
    e.fieldCode = "N";
    e.dimX = "600";
    e.dimY = "400";
    e.dimZ = "18";
    e.line = "#161=" + program +
             ".CNC;#162= ;#164=1;#165=1;#281=;#171=1;#284=0;#285=;#280=;#168=600;#169=400;"
             "#170=18;#282= ;#283=;#223= ;#277=;#278=;#279=;";
    e.outcome = n % 50 == 0 ? history::Outcome::Refused : history::Outcome::Queued;
    e.reason = e.outcome == history::Outcome::Refused ? "Run Field Not Selected" : "";
    e.control = "built-in";
    return e;
}

// The median of timed samples, as a counter in seconds (the table shows it beside the mean).
class Samples {
public:
    explicit Samples(benchmark::State& state) : m_state(state) { m_seconds.reserve(1 << 16); }
    template <typename Work> void time(Work work) {
        const auto start = std::chrono::steady_clock::now();
        work();
        add(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    void add(double seconds) { m_seconds.push_back(seconds); }
    ~Samples() {
        if (!m_seconds.empty()) {
            auto middle = m_seconds.begin() + static_cast<std::ptrdiff_t>(m_seconds.size() / 2);
            std::nth_element(m_seconds.begin(), middle, m_seconds.end());
            m_state.counters["median"] = *middle;
        }
    }
    Samples(const Samples&) = delete;
    Samples& operator=(const Samples&) = delete;

private:
    benchmark::State& m_state;
    std::vector<double> m_seconds;
};

// A year of history ending now, a million events in working hours, written in one transaction.
class MillionEventFile {
public:
    static constexpr int kEvents = 1'000'000;

    static const MillionEventFile& get() {
        static const MillionEventFile file;
        return file;
    }
    MillionEventFile(const MillionEventFile&) = delete;
    MillionEventFile& operator=(const MillionEventFile&) = delete;

    std::string path() const { return m_folder.path("history.sqlite"); }
    const std::filesystem::path& folder() const { return m_folder.root(); }
    history::LocalDay today() const { return m_today; }

private:
    MillionEventFile() : m_today(history::dayOf(nowMs())) {
        history::sql::Database db(path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        db.exec("PRAGMA journal_mode = WAL");
        history::migrate(db);
        auto insert = db.prepare(history::kInsertEvent);
        const std::int64_t end = nowMs();
        const std::int64_t step = 365LL * 24 * history::kHourMs / kEvents;
        history::sql::Transaction transaction(db);
        for (int n = 0; n < kEvents; ++n) {
            history::bindEvent(insert, typicalEvent(end - (kEvents - n) * step, n));
            insert.step();
            insert.reset();
        }
        transaction.commit();
    }

    testing::TempFolder m_folder;
    history::LocalDay m_today;
};

} // namespace quorlan::bench
