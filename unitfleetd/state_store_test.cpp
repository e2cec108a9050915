// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/state_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "tests/support/process.h"

namespace unitfleetd {
namespace {

class StateStoreTest : public ::testing::Test {
  protected:
    std::string folder = support::makeTempDir("unitfleetd-state");
    void TearDown() override { std::filesystem::remove_all(folder); }
    StateStore open() {
        std::string error;
        auto store = StateStore::open(folder, error);
        EXPECT_TRUE(store) << error;
        return std::move(*store);
    }
};

TEST_F(StateStoreTest, JobsAndResultsSurviveAReopen) {
    std::string error;
    std::int64_t id = 0;
    {
        auto store = open();
        id = store.createJob("backup", R"({"git":true})", "ann", {"a", "b", "c"}, error).value_or(0);
        ASSERT_GT(id, 0) << error;
        ASSERT_TRUE(store.setJobState(id, "running", "", error));
        ASSERT_TRUE(store.unitStarted(id, "till-1", error));
        ASSERT_TRUE(store.unitFinished(id, "till-1", "ok", "", error));
        ASSERT_TRUE(store.setJobState(id, "done", "all well", error));
    }
    auto store = open();
    auto job = store.job(id);
    ASSERT_TRUE(job);
    EXPECT_EQ(job->state, "done");
    EXPECT_EQ(job->startedBy, "ann");
    EXPECT_EQ(job->unitsTotal, 3);
    EXPECT_EQ(job->unitsReached, 1);
    EXPECT_GT(job->finished, 0);
    ASSERT_EQ(store.unitResults(id).size(), 1u);
    EXPECT_EQ(store.unitResults(id)[0].outcome, "ok");
    EXPECT_EQ(store.integrityCheck(), "ok");
}

TEST_F(StateStoreTest, RunningJobsBecomeInterruptedWithTheUnitsTheyReached) {
    std::string error;
    auto store = open();
    auto running = *store.createJob("status", "{}", "ann", {"a", "b", "c"}, error);
    auto finished = *store.createJob("status", "{}", "ann", {"a"}, error);
    store.setJobState(running, "running", "", error);
    store.unitFinished(running, "a", "ok", "", error);
    store.unitStarted(running, "b", error);
    store.setJobState(finished, "done", "", error);

    EXPECT_EQ(store.markInterrupted(error), 1);
    auto job = store.job(running);
    EXPECT_EQ(job->state, "interrupted");
    EXPECT_EQ(job->unitsReached, 2);  // c was never started: listed, not reached
    auto results = store.unitResults(running);
    ASSERT_EQ(results.size(), 3u);
    std::map<std::string, std::string> outcome;
    for (auto& r : results) outcome[r.unit] = r.outcome;
    EXPECT_EQ(outcome["a"], "ok");
    EXPECT_EQ(outcome["b"], "interrupted");
    EXPECT_EQ(outcome["c"], "interrupted");
    EXPECT_EQ(store.job(finished)->state, "done");
    EXPECT_EQ(store.markInterrupted(error), 0);
}

TEST_F(StateStoreTest, TheAuditLogCannotBeChangedOrEmptied) {
    std::string error;
    {
        auto store = open();
        ASSERT_TRUE(store.appendAudit({0, 1.0, "ann", "127.0.0.1", "POST /x", "", "200"}, error));
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder + "/unitfleetd.db").c_str(), &db), SQLITE_OK);
    for (const char* sql : {"UPDATE audit SET who = 'eve'", "DELETE FROM audit"}) {
        char* message = nullptr;
        EXPECT_NE(sqlite3_exec(db, sql, nullptr, nullptr, &message), SQLITE_OK) << sql;
        EXPECT_NE(std::string(message ? message : "").find("append-only"), std::string::npos);
        sqlite3_free(message);
    }
    sqlite3_close(db);
    EXPECT_EQ(open().audit(10, INT64_MAX).size(), 1u);
}

TEST_F(StateStoreTest, ANewerSchemaIsRefused) {
    open();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder + "/unitfleetd.db").c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::string error;
    EXPECT_FALSE(StateStore::open(folder, error));
    EXPECT_NE(error.find("schema version 99"), std::string::npos) << error;
}

TEST_F(StateStoreTest, UsersAndTokens) {
    std::string error;
    auto store = open();
    ASSERT_TRUE(store.addUser({"ann", Role::Admin, "$argon2id$x", false, 0}, error));
    EXPECT_FALSE(store.addUser({"ann", Role::Viewer, "$argon2id$y", false, 0}, error));
    EXPECT_EQ(error, "user 'ann' exists");
    auto ann = store.user("ann");
    ASSERT_TRUE(ann);
    EXPECT_EQ(ann->role, Role::Admin);
    ann->disabled = true;
    ASSERT_TRUE(store.updateUser(*ann, error));
    EXPECT_TRUE(store.user("ann")->disabled);
    EXPECT_FALSE(store.updateUser({"bob", Role::Viewer, "", false, 0}, error));

    auto t1 = store.addToken({0, "ci", Role::Operator, "h", false}, error);
    auto t2 = store.addToken({0, "ci", Role::Operator, "h", false}, error);
    ASSERT_TRUE(t1 && t2);
    EXPECT_EQ(store.revokeTokens("ci", error), 2);
    EXPECT_TRUE(store.token(*t1)->revoked);
    EXPECT_EQ(store.revokeTokens("ci", error), 0);
}

TEST_F(StateStoreTest, TheFileIsInWalMode) {
    open();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder + "/unitfleetd.db").c_str(), &db), SQLITE_OK);
    std::string mode;
    sqlite3_exec(
        db, "PRAGMA journal_mode",
        [](void* out, int, char** values, char**) {
            *static_cast<std::string*>(out) = values[0];
            return 0;
        },
        &mode, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(mode, "wal");
}

}  // namespace
}  // namespace unitfleetd
