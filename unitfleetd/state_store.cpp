// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/state_store.h"

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>

namespace unitfleetd {
namespace {

// Each entry moves the schema one version on; entries are never edited
// once released, only new ones added.
const std::vector<std::string_view> kMigrations = {
    R"sql(
CREATE TABLE jobs (
    id INTEGER PRIMARY KEY,
    kind TEXT NOT NULL,
    state TEXT NOT NULL,
    started_by TEXT NOT NULL,
    params TEXT NOT NULL DEFAULT '{}',
    created REAL NOT NULL,
    finished REAL,
    units_total INTEGER NOT NULL DEFAULT 0,
    message TEXT NOT NULL DEFAULT ''
);
CREATE TABLE job_units (
    job_id INTEGER NOT NULL REFERENCES jobs(id),
    unit TEXT NOT NULL,
    outcome TEXT NOT NULL,
    detail TEXT NOT NULL DEFAULT '',
    at REAL NOT NULL,
    PRIMARY KEY (job_id, unit)
);
CREATE TABLE audit (
    id INTEGER PRIMARY KEY,
    at REAL NOT NULL,
    who TEXT NOT NULL,
    address TEXT NOT NULL,
    action TEXT NOT NULL,
    target TEXT NOT NULL,
    outcome TEXT NOT NULL
);
CREATE TRIGGER audit_no_update BEFORE UPDATE ON audit
BEGIN SELECT RAISE(ABORT, 'the audit log is append-only'); END;
CREATE TRIGGER audit_no_delete BEFORE DELETE ON audit
BEGIN SELECT RAISE(ABORT, 'the audit log is append-only'); END;
CREATE TABLE users (
    name TEXT PRIMARY KEY,
    role TEXT NOT NULL,
    hash TEXT NOT NULL,
    disabled INTEGER NOT NULL DEFAULT 0,
    created REAL NOT NULL
);
CREATE TABLE tokens (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL,
    role TEXT NOT NULL,
    hash TEXT NOT NULL,
    revoked INTEGER NOT NULL DEFAULT 0,
    created REAL NOT NULL
);
)sql",
    // The units a job was started on, so that a job cut short by a crash
    // lists the units it never started as well (they are to be retried).
    R"sql(
ALTER TABLE jobs ADD COLUMN units TEXT NOT NULL DEFAULT '[]';
)sql",
};

// A job's results also list the units it never contacted (a rollout's
// "not attempted", a stop's "interrupted ... before it was contacted"), so
// they are in its retry set; they are not among the units it reached.
const char* kJobColumns =
    "SELECT id, kind, state, started_by, params, created, IFNULL(finished, 0), units_total, "
    "message, (SELECT COUNT(*) FROM job_units WHERE job_id = jobs.id "
    "AND outcome NOT IN ('not attempted', 'not run', 'no saved listing', 'bad listing') "
    "AND NOT (outcome = 'interrupted' AND IFNULL(detail, '') LIKE '%before it was contacted%')) "
    "FROM jobs";

JobRecord readJob(const Statement& s) {
    JobRecord j;
    j.id = s.integer(0);
    j.kind = s.text(1);
    j.state = s.text(2);
    j.startedBy = s.text(3);
    j.params = s.text(4);
    j.created = s.real(5);
    j.finished = s.real(6);
    j.unitsTotal = static_cast<int>(s.integer(7));
    j.message = s.text(8);
    j.unitsReached = static_cast<int>(s.integer(9));
    return j;
}

UserRecord readUser(const Statement& s) {
    return UserRecord{s.text(0), parseRole(s.text(1)).value_or(Role::Viewer), s.text(2),
                      s.integer(3) != 0, s.real(4)};
}

}  // namespace

double nowSeconds() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::optional<StateStore> StateStore::open(const std::string& folder, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create '" + folder + "': " + ec.message();
        return std::nullopt;
    }
    std::string path = (std::filesystem::path(folder) / kStateFileName).string();
    auto db = Database::open(path, error);
    if (!db)
        return std::nullopt;
    if (!db->migrate(kMigrations, error)) {
        error = path + ": " + error;
        return std::nullopt;
    }
    return StateStore(std::move(*db));
}

std::optional<int> StateStore::markInterrupted(std::string& error) {
    std::lock_guard lock(mutex_);
    double now = nowSeconds();
    if (!db_.run("BEGIN IMMEDIATE", {}, error))
        return std::nullopt;
    if (!db_.run("UPDATE job_units SET outcome = 'interrupted', at = ?1 WHERE outcome = 'running'",
                 {now}, error) ||
        !db_.run("INSERT INTO job_units (job_id, unit, outcome, detail, at) "
                 "SELECT jobs.id, planned.value, 'interrupted', "
                 "'interrupted (before it was contacted)', ?1 "
                 "FROM jobs, json_each(jobs.units) AS planned "
                 "WHERE jobs.state IN ('queued', 'running') AND NOT EXISTS (SELECT 1 FROM "
                 "job_units WHERE job_id = jobs.id AND unit = planned.value)",
                 {now}, error) ||
        !db_.run("UPDATE jobs SET state = 'interrupted', finished = ?1, message = "
                 "'the daemon stopped while the job ran' WHERE state IN ('queued', 'running')",
                 {now}, error)) {
        std::string ignored;
        db_.run("ROLLBACK", {}, ignored);
        return std::nullopt;
    }
    int count = db_.changes();
    if (!db_.run("COMMIT", {}, error))
        return std::nullopt;
    return count;
}

std::optional<std::int64_t> StateStore::createJob(const std::string& kind,
                                                  const std::string& params,
                                                  const std::string& user,
                                                  const std::vector<std::string>& units,
                                                  std::string& error) {
    std::lock_guard lock(mutex_);
    std::string planned = nlohmann::json(units).dump(-1, ' ', false,
                                                     nlohmann::json::error_handler_t::replace);
    if (!db_.run("INSERT INTO jobs (kind, state, started_by, params, created, units_total, units) "
                 "VALUES (?1, 'queued', ?2, ?3, ?4, ?5, ?6)",
                 {kind, user, params, nowSeconds(), static_cast<std::int64_t>(units.size()),
                  planned},
                 error))
        return std::nullopt;
    return db_.lastInsertId();
}

bool StateStore::setJobState(std::int64_t id, const std::string& state, const std::string& message,
                             std::string& error) {
    std::lock_guard lock(mutex_);
    bool ends = state != "queued" && state != "running";
    return db_.run("UPDATE jobs SET state = ?2, message = ?3, finished = ?4 WHERE id = ?1",
                   {id, state, message, ends ? SqlValue(nowSeconds()) : SqlValue(nullptr)}, error);
}

bool StateStore::unitStarted(std::int64_t job, const std::string& unit, std::string& error) {
    std::lock_guard lock(mutex_);
    return db_.run(
        "INSERT OR REPLACE INTO job_units (job_id, unit, outcome, at) "
        "VALUES (?1, ?2, 'running', ?3)",
        {job, unit, nowSeconds()}, error);
}

bool StateStore::unitFinished(std::int64_t job, const std::string& unit, const std::string& outcome,
                              const std::string& detail, std::string& error) {
    std::lock_guard lock(mutex_);
    return db_.run(
        "INSERT OR REPLACE INTO job_units (job_id, unit, outcome, detail, at) "
        "VALUES (?1, ?2, ?3, ?4, ?5)",
        {job, unit, outcome, detail, nowSeconds()}, error);
}

std::vector<JobRecord> StateStore::jobs(int limit, int offset) {
    std::lock_guard lock(mutex_);
    std::string error;
    std::vector<JobRecord> out;
    auto s = db_.prepare(std::string(kJobColumns) + " ORDER BY id DESC LIMIT ?1 OFFSET ?2", error);
    if (!s || !s->bind({std::int64_t{limit}, std::int64_t{offset}}, error))
        return out;
    while (s->step(error)) out.push_back(readJob(*s));
    return out;
}

std::optional<JobRecord> StateStore::job(std::int64_t id) {
    std::lock_guard lock(mutex_);
    std::string error;
    auto s = db_.prepare(std::string(kJobColumns) + " WHERE id = ?1", error);
    if (!s || !s->bind({id}, error) || !s->step(error))
        return std::nullopt;
    return readJob(*s);
}

int StateStore::jobCount() {
    std::lock_guard lock(mutex_);
    std::string error;
    auto s = db_.prepare("SELECT COUNT(*) FROM jobs", error);
    return s && s->step(error) ? static_cast<int>(s->integer(0)) : 0;
}

std::vector<std::pair<std::string, int>> StateStore::jobCountsByState() {
    std::lock_guard lock(mutex_);
    std::string error;
    std::vector<std::pair<std::string, int>> out;
    auto s = db_.prepare("SELECT state, COUNT(*) FROM jobs GROUP BY state ORDER BY state", error);
    while (s && s->step(error)) out.emplace_back(s->text(0), static_cast<int>(s->integer(1)));
    return out;
}

std::vector<UnitResult> StateStore::unitResults(std::int64_t job) {
    std::lock_guard lock(mutex_);
    std::string error;
    std::vector<UnitResult> out;
    auto s = db_.prepare(
        "SELECT unit, outcome, detail, at FROM job_units WHERE job_id = ?1 ORDER BY at, unit",
        error);
    if (!s || !s->bind({job}, error))
        return out;
    while (s->step(error)) out.push_back({s->text(0), s->text(1), s->text(2), s->real(3)});
    return out;
}

bool StateStore::appendAudit(const AuditEntry& e, std::string& error) {
    std::lock_guard lock(mutex_);
    return db_.run(
        "INSERT INTO audit (at, who, address, action, target, outcome) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
        {e.at, e.who, e.address, e.action, e.target, e.outcome}, error);
}

std::vector<AuditEntry> StateStore::audit(int limit, std::int64_t beforeId) {
    std::lock_guard lock(mutex_);
    std::string error;
    std::vector<AuditEntry> out;
    auto s = db_.prepare(
        "SELECT id, at, who, address, action, target, outcome FROM audit WHERE id < ?2 "
        "ORDER BY id DESC LIMIT ?1",
        error);
    if (!s || !s->bind({std::int64_t{limit}, beforeId}, error))
        return out;
    while (s->step(error))
        out.push_back({s->integer(0), s->real(1), s->text(2), s->text(3), s->text(4), s->text(5),
                       s->text(6)});
    return out;
}

bool StateStore::addUser(const UserRecord& u, std::string& error) {
    std::lock_guard lock(mutex_);
    if (!db_.run(
            "INSERT INTO users (name, role, hash, disabled, created) VALUES (?1, ?2, ?3, ?4, ?5)",
            {u.name, std::string(roleName(u.role)), u.hash, std::int64_t{u.disabled}, nowSeconds()},
            error)) {
        if (error.find("UNIQUE") != std::string::npos)
            error = "user '" + u.name + "' exists";
        return false;
    }
    return true;
}

std::optional<UserRecord> StateStore::user(const std::string& name) {
    std::lock_guard lock(mutex_);
    std::string error;
    auto s =
        db_.prepare("SELECT name, role, hash, disabled, created FROM users WHERE name = ?1", error);
    if (!s || !s->bind({name}, error) || !s->step(error))
        return std::nullopt;
    return readUser(*s);
}

std::vector<UserRecord> StateStore::users() {
    std::lock_guard lock(mutex_);
    std::string error;
    std::vector<UserRecord> out;
    auto s =
        db_.prepare("SELECT name, role, hash, disabled, created FROM users ORDER BY name", error);
    while (s && s->step(error)) out.push_back(readUser(*s));
    return out;
}

bool StateStore::updateUser(const UserRecord& u, std::string& error) {
    std::lock_guard lock(mutex_);
    if (!db_.run("UPDATE users SET role = ?2, hash = ?3, disabled = ?4 WHERE name = ?1",
                 {u.name, std::string(roleName(u.role)), u.hash, std::int64_t{u.disabled}}, error))
        return false;
    if (db_.changes() == 0) {
        error = "no user '" + u.name + "'";
        return false;
    }
    return true;
}

std::optional<std::int64_t> StateStore::addToken(const TokenRecord& t, std::string& error) {
    std::lock_guard lock(mutex_);
    if (!db_.run("INSERT INTO tokens (name, role, hash, created) VALUES (?1, ?2, ?3, ?4)",
                 {t.name, std::string(roleName(t.role)), t.hash, nowSeconds()}, error))
        return std::nullopt;
    return db_.lastInsertId();
}

std::optional<TokenRecord> StateStore::token(std::int64_t id) {
    std::lock_guard lock(mutex_);
    std::string error;
    auto s = db_.prepare("SELECT id, name, role, hash, revoked FROM tokens WHERE id = ?1", error);
    if (!s || !s->bind({id}, error) || !s->step(error))
        return std::nullopt;
    return TokenRecord{s->integer(0), s->text(1), parseRole(s->text(2)).value_or(Role::Viewer),
                       s->text(3), s->integer(4) != 0};
}

int StateStore::revokeTokens(const std::string& name, std::string& error) {
    std::lock_guard lock(mutex_);
    if (!db_.run("UPDATE tokens SET revoked = 1 WHERE name = ?1 AND revoked = 0", {name}, error))
        return -1;
    return db_.changes();
}

std::string StateStore::integrityCheck() {
    std::lock_guard lock(mutex_);
    return db_.integrityCheck();
}

}  // namespace unitfleetd
