#include "history/schema.h"

#include <array>
#include <string>

namespace quorlan::history {

namespace {

// Times are milliseconds since 1970 UTC. Texts are UTF-8. The id is AUTOINCREMENT so that it is
// never given twice, even when retention has removed every row: whoever follows the table by id
// (an export, a subscriber dropping repeats) never sees an old id come back. The outbox keeps, per
// consumer, the id up to which events went out; those still to go are found by the primary key.
constexpr std::string_view kVersion1 = R"(
CREATE TABLE events (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    time INTEGER NOT NULL,
    kind TEXT NOT NULL,
    scan TEXT NOT NULL,
    program TEXT NOT NULL,
    field_code TEXT NOT NULL,
    dim_x TEXT NOT NULL,
    dim_y TEXT NOT NULL,
    dim_z TEXT NOT NULL,
    line TEXT NOT NULL,
    outcome TEXT NOT NULL,
    reason TEXT NOT NULL,
    control TEXT NOT NULL
);
CREATE INDEX events_time ON events(time);
CREATE INDEX events_program_time ON events(program, time);
CREATE INDEX events_outcome_time ON events(outcome, time);
CREATE TABLE outbox (
    consumer TEXT PRIMARY KEY,
    published_through INTEGER NOT NULL
) WITHOUT ROWID;
)";

// The station's notices (started, stopping, control and port lost and back) beside the scans. A
// notice takes its id from the events' sequence: it is inserted with the next id of that sequence
// (kInsertNotice), and the trigger moves the sequence past it, so that the next scan's event
// follows it. The two tables together are one series of ids in the order things happened.
constexpr std::string_view kVersion2 = R"(
CREATE TABLE notices (
    id INTEGER PRIMARY KEY,
    time INTEGER NOT NULL,
    kind TEXT NOT NULL,
    subject TEXT NOT NULL,
    detail TEXT NOT NULL
);
CREATE INDEX notices_time ON notices(time);
CREATE TRIGGER notices_share_the_event_ids AFTER INSERT ON notices BEGIN
    UPDATE sqlite_sequence SET seq = max(seq, new.id) WHERE name = 'events';
    INSERT INTO sqlite_sequence (name, seq) SELECT 'events', new.id
        WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'events');
END;
)";

constexpr std::array kMigrations = {Migration{1, kVersion1}, Migration{2, kVersion2}};

} // namespace

std::span<const Migration> migrations() {
    return kMigrations;
}

std::int64_t currentSchemaVersion() {
    return kMigrations.back().toVersion;
}

SchemaError::SchemaError(Kind kind, std::int64_t version)
    : std::runtime_error(kind == Kind::Newer
                             ? "history schema " + std::to_string(version) + " is newer than this program"
                             : "not a history database"),
      m_kind(kind), m_version(version) {}

namespace {

// The file's version, once it is known to be a history this program may change.
std::int64_t ownedVersion(sql::Database& db, std::int64_t target) {
    const std::int64_t version = db.integer("PRAGMA user_version");
    const std::int64_t application = db.integer("PRAGMA application_id");
    const bool fresh = application == 0 && version == 0 && db.integer("SELECT count(*) FROM sqlite_schema") == 0;
    if (application != kApplicationId && !fresh) {
        throw SchemaError(SchemaError::Kind::Foreign, version);
    }
    if (version > target) {
        throw SchemaError(SchemaError::Kind::Newer, version);
    }
    return version;
}

} // namespace

void migrate(sql::Database& db, std::span<const Migration> steps) {
    const std::int64_t target = steps.empty() ? 0 : steps.back().toVersion;
    // A file that is up to date takes no write lock, so a read-only one can still be read.
    if (ownedVersion(db, target) == target) {
        return;
    }
    if (db.integer("PRAGMA page_count") == 0) {
        // Only an empty file can take this; it lets retention give freed pages back in steps.
        db.exec("PRAGMA auto_vacuum = INCREMENTAL");
    }
    sql::Transaction transaction(db);
    // Read again under the lock: another program may have migrated the file meanwhile.
    const std::int64_t version = ownedVersion(db, target);
    for (const Migration& step : steps) {
        if (step.toVersion > version) {
            db.exec(step.sql);
            db.exec("PRAGMA user_version = " + std::to_string(step.toVersion));
        }
    }
    db.exec("PRAGMA application_id = " + std::to_string(kApplicationId));
    transaction.commit();
}

} // namespace quorlan::history
