// SPDX-License-Identifier: Apache-2.0
// A thin RAII layer over SQLite: one connection, prepared statements with
// bound values, and the schema's migrations by number (PRAGMA user_version).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace unitfleetd {

using SqlValue = std::variant<std::nullptr_t, std::int64_t, double, std::string>;

class Statement {
  public:
    Statement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
    ~Statement();
    Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) {
        other.stmt_ = nullptr;
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds the values to ?1, ?2, ... in order.
    bool bind(const std::vector<SqlValue>& values, std::string& error);
    // One step: true with a row, false when done; a failure sets `error`.
    bool step(std::string& error);
    std::int64_t integer(int column) const;
    double real(int column) const;
    std::string text(int column) const;
    bool isNull(int column) const;

  private:
    sqlite3* db_;
    sqlite3_stmt* stmt_;
};

class Database {
  public:
    Database() = default;
    ~Database();
    Database(Database&& other) noexcept : db_(other.db_) { other.db_ = nullptr; }
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens (creating) the file in WAL mode with foreign keys on.
    static std::optional<Database> open(const std::string& path, std::string& error);

    bool exec(std::string_view sql, std::string& error);
    std::optional<Statement> prepare(std::string_view sql, std::string& error);
    // Runs `sql` with `values`, reading no rows.
    bool run(std::string_view sql, const std::vector<SqlValue>& values, std::string& error);
    std::int64_t lastInsertId() const;
    int changes() const;

    // Brings the schema to migrations.size(): each migration i (from 1) runs
    // in a transaction of its own that also sets user_version = i.
    bool migrate(const std::vector<std::string_view>& migrations, std::string& error);
    // PRAGMA integrity_check: "ok" or what it found.
    std::string integrityCheck();

  private:
    explicit Database(sqlite3* db) : db_(db) {}
    std::string lastError() const;
    sqlite3* db_ = nullptr;
};

}  // namespace unitfleetd
