// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/database.h"

#include <sqlite3.h>

namespace unitfleetd {

Statement::~Statement() {
    if (stmt_ != nullptr)
        sqlite3_finalize(stmt_);
}

bool Statement::bind(const std::vector<SqlValue>& values, std::string& error) {
    int i = 1;
    for (const auto& v : values) {
        int rc = SQLITE_OK;
        if (std::holds_alternative<std::nullptr_t>(v))
            rc = sqlite3_bind_null(stmt_, i);
        else if (auto* n = std::get_if<std::int64_t>(&v))
            rc = sqlite3_bind_int64(stmt_, i, *n);
        else if (auto* d = std::get_if<double>(&v))
            rc = sqlite3_bind_double(stmt_, i, *d);
        else {
            const auto& s = std::get<std::string>(v);
            rc =
                sqlite3_bind_text(stmt_, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK) {
            error =
                std::string("cannot bind value ") + std::to_string(i) + ": " + sqlite3_errmsg(db_);
            return false;
        }
        ++i;
    }
    return true;
}

bool Statement::step(std::string& error) {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        error = sqlite3_errmsg(db_);
    return false;
}

std::int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}
double Statement::real(int column) const {
    return sqlite3_column_double(stmt_, column);
}
bool Statement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}
std::string Statement::text(int column) const {
    auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return p == nullptr ? std::string() : std::string(p, sqlite3_column_bytes(stmt_, column));
}

Database::~Database() {
    if (db_ != nullptr)
        sqlite3_close(db_);
}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        if (db_ != nullptr)
            sqlite3_close(db_);
        db_ = other.db_;
        other.db_ = nullptr;
    }
    return *this;
}

std::string Database::lastError() const {
    return sqlite3_errmsg(db_);
}

std::optional<Database> Database::open(const std::string& path, std::string& error) {
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    Database db(raw);
    if (rc != SQLITE_OK) {
        error = "cannot open '" + path + "': " + (raw ? sqlite3_errmsg(raw) : "out of memory");
        return std::nullopt;
    }
    sqlite3_busy_timeout(raw, 5000);
    // WAL: readers never wait for the writer. synchronous=NORMAL in WAL loses
    // nothing committed when the process dies (kill -9), only on a power cut.
    if (!db.exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;",
                 error)) {
        error = "cannot set up '" + path + "': " + error;
        return std::nullopt;
    }
    return db;
}

bool Database::exec(std::string_view sql, std::string& error) {
    char* message = nullptr;
    std::string text(sql);
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        error = message != nullptr ? message : lastError();
        sqlite3_free(message);
        return false;
    }
    return true;
}

std::optional<Statement> Database::prepare(std::string_view sql, std::string& error) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr) !=
        SQLITE_OK) {
        error = lastError();
        return std::nullopt;
    }
    return Statement(db_, stmt);
}

bool Database::run(std::string_view sql, const std::vector<SqlValue>& values, std::string& error) {
    auto stmt = prepare(sql, error);
    if (!stmt || !stmt->bind(values, error))
        return false;
    error.clear();
    while (stmt->step(error)) {
    }
    return error.empty();
}

std::int64_t Database::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}
int Database::changes() const {
    return sqlite3_changes(db_);
}

bool Database::migrate(const std::vector<std::string_view>& migrations, std::string& error) {
    auto stmt = prepare("PRAGMA user_version", error);
    if (!stmt || !stmt->step(error))
        return false;
    auto version = static_cast<std::size_t>(stmt->integer(0));
    if (version > migrations.size()) {
        error = "the database has schema version " + std::to_string(version) +
                ", newer than this program's " + std::to_string(migrations.size());
        return false;
    }
    for (std::size_t i = version; i < migrations.size(); ++i) {
        std::string sql = "BEGIN IMMEDIATE;\n" + std::string(migrations[i]) +
                          "\nPRAGMA user_version = " + std::to_string(i + 1) + ";\nCOMMIT;";
        if (!exec(sql, error)) {
            std::string ignored;
            exec("ROLLBACK", ignored);
            error = "schema migration " + std::to_string(i + 1) + " failed: " + error;
            return false;
        }
    }
    return true;
}

std::string Database::integrityCheck() {
    std::string error;
    auto stmt = prepare("PRAGMA integrity_check", error);
    if (!stmt)
        return error;
    std::string result;
    while (stmt->step(error)) result += (result.empty() ? "" : "\n") + stmt->text(0);
    return error.empty() ? result : error;
}

}  // namespace unitfleetd
