// The history file's schema and the way an older file is brought up to date.
//
// The file says which schema it holds in SQLite's user_version, and that it is a Quorlan history
// in its application_id. Each migration takes the file one version further inside one
// transaction, so a file is always at a version some release wrote, never between two. A file of
// a newer version, or a database of another program, is left as it is.
#pragma once

#include "history/sqlite.h"

#include <span>
#include <stdexcept>
#include <string_view>

namespace quorlan::history {

inline constexpr std::int64_t kApplicationId = 0x51524C4E; // "QRLN"

struct Migration {
    std::int64_t toVersion; // each step goes exactly one version up
    std::string_view sql;
};

// Every step from an empty file to the current schema.
std::span<const Migration> migrations();
std::int64_t currentSchemaVersion();

class SchemaError : public std::runtime_error {
public:
    enum class Kind { Newer, Foreign };
    SchemaError(Kind kind, std::int64_t version);
    Kind kind() const { return m_kind; }
    std::int64_t version() const { return m_version; }

private:
    Kind m_kind;
    std::int64_t m_version;
};

// Brings the file to the last step's version. Throws SchemaError for a file it must not touch,
// sql::Error when the file cannot be read or written.
void migrate(sql::Database& db, std::span<const Migration> steps = migrations());

} // namespace quorlan::history
