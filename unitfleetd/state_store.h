// SPDX-License-Identifier: Apache-2.0
// The daemon's state in one SQLite file in the state folder: jobs and their
// per-unit results, the append-only audit log, users and API tokens. Opening
// it migrates the schema; the daemon then marks the jobs a crash left
// running as "interrupted", keeping the units they had reached.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "unitfleetd/database.h"
#include "unitfleetd/role.h"

namespace unitfleetd {

inline constexpr const char* kStateFileName = "unitfleetd.db";

struct JobRecord {
    std::int64_t id = 0;
    std::string kind;
    std::string state;  // queued, running, done, failed, stopped, interrupted
    std::string startedBy;
    std::string params;  // JSON text
    double created = 0, finished = 0;
    int unitsTotal = 0;
    int unitsReached = 0;
    std::string message;
};

struct UnitResult {
    std::string unit;
    std::string outcome;  // running until the unit ends; interrupted after a crash
    std::string detail;
    double at = 0;
};

struct AuditEntry {
    std::int64_t id = 0;
    double at = 0;
    std::string who, address, action, target, outcome;
};

struct UserRecord {
    std::string name;
    Role role = Role::Viewer;
    std::string hash;  // argon2id, encoded
    bool disabled = false;
    double created = 0;
};

struct TokenRecord {
    std::int64_t id = 0;
    std::string name;
    Role role = Role::Viewer;
    std::string hash;
    bool revoked = false;
};

double nowSeconds();

// Every call is serialised by one mutex: the server's thread and job threads
// may write at once.
class StateStore {
  public:
    // Opens `folder`/unitfleetd.db, creating both, and migrates the schema.
    static std::optional<StateStore> open(const std::string& folder, std::string& error);
    // At the daemon's start: jobs a previous run left queued or running are
    // marked interrupted, and so is each unit they had started but not
    // finished, or never started ("before it was contacted", so it is in
    // the retry set but not among the units reached). The count of such
    // jobs, or nothing on failure.
    std::optional<int> markInterrupted(std::string& error);
    StateStore(StateStore&& other) noexcept : db_(std::move(other.db_)) {}

    // A queued job on `units` (unit keys, kept for a restart after a crash).
    std::optional<std::int64_t> createJob(const std::string& kind, const std::string& params,
                                          const std::string& user,
                                          const std::vector<std::string>& units,
                                          std::string& error);
    bool setJobState(std::int64_t id, const std::string& state, const std::string& message,
                     std::string& error);
    bool unitStarted(std::int64_t job, const std::string& unit, std::string& error);
    bool unitFinished(std::int64_t job, const std::string& unit, const std::string& outcome,
                      const std::string& detail, std::string& error);
    std::vector<JobRecord> jobs(int limit, int offset);
    std::optional<JobRecord> job(std::int64_t id);
    std::vector<UnitResult> unitResults(std::int64_t job);
    int jobCount();
    // How many jobs are in each state.
    std::vector<std::pair<std::string, int>> jobCountsByState();

    bool appendAudit(const AuditEntry& entry, std::string& error);
    std::vector<AuditEntry> audit(int limit, std::int64_t beforeId);

    bool addUser(const UserRecord& user, std::string& error);
    std::optional<UserRecord> user(const std::string& name);
    std::vector<UserRecord> users();
    bool updateUser(const UserRecord& user, std::string& error);

    std::optional<std::int64_t> addToken(const TokenRecord& token, std::string& error);
    std::optional<TokenRecord> token(std::int64_t id);
    int revokeTokens(const std::string& name, std::string& error);

    std::string integrityCheck();

  private:
    explicit StateStore(Database db) : db_(std::move(db)) {}
    std::mutex mutex_;
    Database db_;
};

}  // namespace unitfleetd
