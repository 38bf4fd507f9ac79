#include "history/history_reader.h"

#include "history/event_row.h"
#include "history/schema.h"

#include <sqlite3.h>

namespace quorlan::history {

namespace {

constexpr int kReadBusyMs = 2000;

// The WHERE clause of a filter and its parameters, numbered from 1 in the order of the clause.
class Conditions {
public:
    explicit Conditions(const Filter& filter) {
        if (filter.range) {
            add("time >= ? AND time < ?", {filter.range->fromMs, filter.range->toMs});
        }
        if (!filter.program.empty()) {
            // Every UTF-8 text that begins with the name sorts before the name followed by 0xF5,
            // a byte UTF-8 never uses: a range the index answers.
            addText("program >= ? AND program < ?", {filter.program, filter.program + '\xF5'});
        }
        if (filter.outcome) {
            addText("outcome = ?", {std::string(outcomeName(*filter.outcome))});
        }
    }

    void add(const std::string& clause, std::initializer_list<std::int64_t> values) {
        append(clause);
        for (const auto value : values) {
            m_parameters.push_back({value, {}, false});
        }
    }
    void addText(const std::string& clause, std::initializer_list<std::string> values) {
        append(clause);
        for (const auto& value : values) {
            m_parameters.push_back({0, value, true});
        }
    }

    std::string where() const { return m_clause.empty() ? std::string() : " WHERE " + m_clause; }

    // Returns the number of the next parameter, for what the query adds after the clause.
    int bindTo(sql::Statement& statement) const {
        int index = 1;
        for (const auto& parameter : m_parameters) {
            if (parameter.isText) {
                statement.bind(index++, parameter.text);
            } else {
                statement.bind(index++, parameter.value);
            }
        }
        return index;
    }

private:
    struct Parameter {
        std::int64_t value;
        std::string text;
        bool isText;
    };

    void append(const std::string& clause) { m_clause += (m_clause.empty() ? "" : " AND ") + clause; }

    std::string m_clause;
    std::vector<Parameter> m_parameters;
};

std::string selectEvents() {
    return "SELECT " + std::string(kEventColumns) + " FROM events";
}

std::string partOutcomes() {
    std::string list;
    for (int i = 0; i <= static_cast<int>(kLastOutcome); ++i) {
        const auto outcome = static_cast<Outcome>(i);
        if (isPartOutcome(outcome)) {
            list += (list.empty() ? "'" : ", '") + std::string(outcomeName(outcome)) + "'";
        }
    }
    return list;
}

} // namespace

HistoryReader::HistoryReader(const std::string& path, const char* vfs) : m_db(path, SQLITE_OPEN_READWRITE, vfs) {
    sqlite3_busy_timeout(m_db.handle(), kReadBusyMs);
    migrate(m_db);
}

std::vector<Event> HistoryReader::page(const Filter& filter, const std::optional<Cursor>& after, std::size_t limit) {
    Conditions conditions(filter);
    if (after) {
        // "time <= t" alone gives the index its range; the rest settles rows of the same time.
        conditions.add("time <= ? AND (time < ? OR id < ?)", {after->timeMs, after->timeMs, after->id});
    }
    auto query = m_db.prepare(selectEvents() + conditions.where() + " ORDER BY time DESC, id DESC LIMIT ?");
    query.bind(conditions.bindTo(query), static_cast<std::int64_t>(limit));
    std::vector<Event> events;
    events.reserve(limit);
    while (query.step()) {
        events.push_back(readEvent(query));
    }
    return events;
}

std::vector<HourCount> HistoryReader::partsPerHour(const Filter& filter) {
    if (!filter.range) {
        return {};
    }
    Conditions conditions(filter);
    // The origin is a number this program computed, so it goes into the text as one.
    auto query = m_db.prepare("SELECT (time - " + std::to_string(filter.range->fromMs) + ") / " +
                              std::to_string(kHourMs) + " AS hour, outcome, count(*) FROM events" + conditions.where() +
                              " AND outcome IN (" + partOutcomes() + ") GROUP BY hour, outcome ORDER BY hour, outcome");
    conditions.bindTo(query);
    std::vector<HourCount> counts;
    while (query.step()) {
        if (const auto outcome = outcomeFromName(query.textView(1))) {
            counts.push_back({static_cast<int>(query.integer(0)), *outcome, query.integer(2)});
        }
    }
    return counts;
}

std::vector<std::string> HistoryReader::programs(const std::optional<TimeRange>& range, std::size_t limit) {
    std::vector<std::string> names;
    // A day holds few events: read them. The whole history may hold millions: step from one name
    // to the next through the index instead of visiting every row.
    auto query = range ? m_db.prepare("SELECT DISTINCT program FROM events WHERE time >= ?1 AND time < ?2"
                                      " AND program <> '' ORDER BY program LIMIT ?3")
                       : m_db.prepare("WITH RECURSIVE names(name) AS ("
                                      " SELECT min(program) FROM events WHERE program > ''"
                                      " UNION ALL SELECT (SELECT min(program) FROM events WHERE program > name)"
                                      " FROM names WHERE name IS NOT NULL)"
                                      " SELECT name FROM names WHERE name IS NOT NULL LIMIT ?3");
    if (range) {
        query.bind(1, range->fromMs).bind(2, range->toMs);
    }
    query.bind(3, static_cast<std::int64_t>(limit));
    while (query.step()) {
        names.push_back(query.text(0));
    }
    return names;
}

std::int64_t HistoryReader::forEach(const Filter& filter, const std::function<void(const Event&)>& each) {
    Conditions conditions(filter);
    auto query = m_db.prepare(selectEvents() + conditions.where() + " ORDER BY time, id");
    conditions.bindTo(query);
    std::int64_t count = 0;
    while (query.step()) {
        each(readEvent(query));
        ++count;
    }
    return count;
}

} // namespace quorlan::history
