#include "history/sqlite.h"

#include <sqlite3.h>
#include <utility>

namespace quorlan::history::sql {

void check(sqlite3* db, int code) {
    if (code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE) {
        return;
    }
    // Connections are opened with extended result codes, so code is already the precise one; the
    // connection's message names what failed ("no such table: events").
    if (db == nullptr) {
        throw Error(code, sqlite3_errstr(code));
    }
    throw Error(code, sqlite3_errmsg(db), sqlite3_system_errno(db));
}

Statement::Statement(sqlite3* db, std::string_view sql) : m_db(db) {
    check(m_db, sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), &m_statement, nullptr));
}

Statement::~Statement() {
    sqlite3_finalize(m_statement);
}

Statement::Statement(Statement&& other) noexcept
    : m_db(other.m_db), m_statement(std::exchange(other.m_statement, nullptr)) {}

Statement& Statement::bind(int index, std::int64_t value) {
    check(m_db, sqlite3_bind_int64(m_statement, index, value));
    return *this;
}

Statement& Statement::bind(int index, std::string_view text) {
    check(m_db, sqlite3_bind_text64(m_statement, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
    return *this;
}

bool Statement::step() {
    const int code = sqlite3_step(m_statement);
    if (code == SQLITE_ROW) {
        return true;
    }
    if (code != SQLITE_DONE) {
        // A failed step leaves the statement to be reset before it can run again.
        sqlite3_reset(m_statement);
        check(m_db, code);
    }
    return false;
}

void Statement::reset() {
    sqlite3_reset(m_statement);
}

std::int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(m_statement, column);
}

std::string Statement::text(int column) const {
    return std::string(textView(column));
}

std::string_view Statement::textView(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return text != nullptr ? std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)))
                           : std::string_view();
}

Database::Database(const std::string& path, int flags, const char* vfs) {
    const int code = sqlite3_open_v2(path.c_str(), &m_db, flags | SQLITE_OPEN_EXRESCODE, vfs);
    if (code != SQLITE_OK) {
        const std::string message = m_db != nullptr ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
        const int systemError = m_db != nullptr ? sqlite3_system_errno(m_db) : 0;
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        throw Error(code, message, systemError);
    }
}

Database::~Database() {
    sqlite3_close_v2(m_db);
}

void Database::exec(std::string_view sql) {
    check(m_db, sqlite3_exec(m_db, std::string(sql).c_str(), nullptr, nullptr, nullptr));
}

Statement Database::prepare(std::string_view sql) {
    return Statement(m_db, sql);
}

std::int64_t Database::integer(std::string_view sql) {
    Statement statement(m_db, sql);
    return statement.step() ? statement.integer(0) : 0;
}

std::int64_t Database::lastInsertId() const {
    return sqlite3_last_insert_rowid(m_db);
}

Transaction::Transaction(Database& db) : m_db(db) {
    m_db.exec("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (m_open) {
        sqlite3_exec(m_db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void Transaction::commit() {
    m_db.exec("COMMIT");
    m_open = false;
}

} // namespace quorlan::history::sql
