// A thin hold on the SQLite C library: a connection and its statements as objects that close
// themselves, and every failure as an exception that keeps SQLite's code and the file's name.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace quorlan::history::sql {

class Error : public std::runtime_error {
public:
    Error(int code, const std::string& message, int systemError = 0)
        : std::runtime_error(message), m_code(code), m_systemError(systemError) {}
    // The extended result code (SQLITE_BUSY, SQLITE_FULL, SQLITE_READONLY_DBMOVED, ...).
    int code() const { return m_code; }
    // Its primary code, the low byte.
    int primaryCode() const { return m_code & 0xFF; }
    // The errno of the system call that failed, when one did.
    int systemError() const { return m_systemError; }

private:
    int m_code;
    int m_systemError;
};

class Statement final {
public:
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&&) = delete;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters are numbered from 1, as SQLite numbers them.
    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, std::string_view text); // copied: the text may go away
    // True while a row is there to read; false when the statement is done.
    bool step();
    // Makes the statement ready to run again, its bindings kept.
    void reset();

    // Columns are numbered from 0.
    std::int64_t integer(int column) const;
    std::string text(int column) const;
    std::string_view textView(int column) const; // valid until the next step

private:
    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
};

class Database final {
public:
    // Opens with the sqlite3_open_v2 flags; a null vfs is the default one.
    Database(const std::string& path, int flags, const char* vfs = nullptr);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(std::string_view sql);
    Statement prepare(std::string_view sql);
    // The first column of the first row of a query that returns one integer.
    std::int64_t integer(std::string_view sql);
    std::int64_t lastInsertId() const;
    sqlite3* handle() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

// A write transaction taken at once (BEGIN IMMEDIATE), so a lock held by another program shows
// at its start and not half-way. Rolled back unless committed.
class Transaction final {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Database& m_db;
    bool m_open = true;
};

// Throws Error for a result code that is not success (SQLITE_OK, SQLITE_ROW, SQLITE_DONE).
void check(sqlite3* db, int code);

} // namespace quorlan::history::sql
