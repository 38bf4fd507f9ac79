// What the history's tests share: a temporary folder, events to record, a store that keeps what
// it reported, and the local time zone fixed so that days and hours come out the same anywhere.
#pragma once

#include "fakes/temp_folder.h"
#include "history/history_reader.h"
#include "history/history_store.h"

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace quorlan::testing {

// Sets the process's time zone for the life of the object.
class TimeZone final {
public:
    explicit TimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            m_old = old;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TimeZone() {
        if (m_old.empty()) {
            ::unsetenv("TZ");
        } else {
            ::setenv("TZ", m_old.c_str(), 1);
        }
        ::tzset();
    }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    std::string m_old;
};

// 2024-05-02 00:00 in Europe/Berlin (summer time, UTC+2).
inline constexpr std::int64_t kMay2 = 1714600800000;

inline history::Event event(std::int64_t timeMs, const std::string& program,
                            history::Outcome outcome = history::Outcome::Queued,
                            history::ScanKind kind = history::ScanKind::Label) {
    history::Event e;
    e.timeMs = timeMs;
    e.kind = kind;
    e.scan = program;
    e.program = program.empty() ? "" : program + ".CNC";
    e.fieldCode = "N";
    e.dimX = "600";
    e.dimY = "400";
    e.dimZ = "18";
    e.line = program.empty() ? "" : "#161=" + program + ".CNC;#162= ;#164=1;";
    e.outcome = outcome;
    e.reason = outcome == history::Outcome::Refused ? "Program name not accepted" : "";
    e.control = "built-in";
    return e;
}

// The store with what it reported kept for the test to read.
struct ReportingStore {
    explicit ReportingStore(history::StoreOptions options)
        : store(std::move(options), [this](const std::string& text) { reports.push_back(text); }) {}
    std::vector<std::string> reports;
    history::HistoryStore store;
};

// Every event of the file, oldest first.
inline std::vector<history::Event> allEvents(const std::string& path) {
    history::HistoryReader reader(path);
    std::vector<history::Event> events;
    reader.forEach({}, [&events](const history::Event& e) { events.push_back(e); });
    return events;
}

inline std::vector<std::string> programsOf(const std::vector<history::Event>& events) {
    std::vector<std::string> names;
    for (const auto& e : events) {
        names.push_back(e.program);
    }
    return names;
}

} // namespace quorlan::testing
