// SPDX-License-Identifier: Apache-2.0
// unitfleetd as installed runs it, against one unitsim serving 100 units on
// 127.39.x.1-100 with faults at the places unitfleet's own fleet test puts
// them (units 12, 25 and 31 refuse sets of POSTimeout; 40 is silent; 70
// drops its first reply): the status poll on its schedule, a backup job into
// git, and an apply job with a failure ceiling that stops as the command
// line's does. On slower units, a daemon killed mid-job.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "tests/support/process.h"
#include "unitfleetd/test_client.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr int kUnits = 100;

class Fleet100 : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;  // where it can; loopback either way
        support::enterOwnNetworkNamespace(error);
        folder = support::makeTempDir("unitfleetd-100");
        int n = static_cast<int>(getpid());
        net = std::to_string(n % 250);
        address = "127.39." + net + ".200";
        std::vector<std::string> sim = {UNITSIM_BIN, "--address", unit(0) + "-" + unit(kUnits - 1)};
        auto slower = everyUnit();
        sim.insert(sim.end(), slower.begin(), slower.end());
        auto fault = [&](int index, std::vector<std::string> options) {
            sim.push_back("--every");
            sim.push_back("100+" + std::to_string(index));
            sim.insert(sim.end(), options.begin(), options.end());
        };
        for (int i : {12, 25, 31}) fault(i, {"--refuse", "POSTimeout"});
        fault(40, {"--silent"});
        fault(70, {"--drop-mid-frame"});
        units = std::make_unique<support::Background>(sim);
        ASSERT_TRUE(units->waitForOutput("100 units listening", 30s)) << units->stop().err;
        std::string inventory;
        for (int i = 0; i < kUnits; ++i)
            inventory += unit(i) + " u" + std::to_string(i) + " fleet\n";
        support::writeFile(folder + "/units.txt", inventory);
        support::writeFile(folder + "/fleet.ini", "POSTimeout = 30\nContrast = 70\n");
        support::writeFile(folder + "/unitfleetd.conf",
                           "{\"inventory\": \"units.txt\", \"state\": \"state\", \"listen\": \"" +
                               address +
                               ":18445\", \"status_interval\": 2, \"backup\": " +
                               backupSchedule() + ", "
                               "\"baselines\": {\"fleet\": \"fleet.ini\"}, "
                               "\"timeouts\": {\"unit\": 3}}");
        auto r = support::run({UNITFLEETD_BIN, "--config", folder + "/unitfleetd.conf", "token",
                               "add", "ops", "--role", "operator"});
        ASSERT_EQ(r.status, 0) << r.err;
        token = r.out.substr(0, r.out.find('\n'));
        ASSERT_NO_FATAL_FAILURE(startDaemon());
    }
    // unitsim options for all units, ahead of the faults.
    virtual std::vector<std::string> everyUnit() const { return {}; }
    // The configuration's "backup" value.
    virtual std::string backupSchedule() const { return "false"; }
    void startDaemon() {
        daemon = std::make_unique<support::Background>(
            std::vector<std::string>{UNITFLEETD_BIN, "--config", folder + "/unitfleetd.conf"});
        ASSERT_TRUE(support::waitForPort(address, 18445, 20s)) << daemon->stop().err;
    }
    void TearDown() override {
        daemon.reset();
        units.reset();
        std::filesystem::remove_all(folder);
    }
    std::string unit(int i) const { return "127.39." + net + "." + std::to_string(i + 1); }
    std::optional<unitfleetd::testing::HttpAnswer> api(const std::string& method,
                                                       const std::string& target,
                                                       const std::string& body = {}) {
        std::vector<std::string> headers = {"Authorization: Bearer " + token};
        if (!body.empty())
            headers.push_back("Content-Type: application/json");
        return unitfleetd::testing::request(address, 18445, method, target, headers, body);
    }
    // Starts a job: its id, or 0.
    int startJob(const json& body) {
        auto a = api("POST", "/api/v1/jobs", body.dump());
        EXPECT_TRUE(a && a->status == 201) << (a ? a->body : "no answer");
        if (!a || a->status != 201)
            return 0;
        return json::parse(a->body)["id"].get<int>();
    }
    json jobNow(int id) {
        auto a = api("GET", "/api/v1/jobs/" + std::to_string(id));
        EXPECT_TRUE(a && a->status == 200) << (a ? a->body : "no answer");
        return a && a->status == 200 ? json::parse(a->body) : json{};
    }
    json job(const json& body) {
        int id = startJob(body);
        if (id == 0)
            return {};
        json j;
        for (int i = 0; i < 1200; ++i) {
            j = jobNow(id);
            if (j.is_null() || j["state"] != "running")
                break;
            std::this_thread::sleep_for(100ms);
        }
        return j;
    }

    std::string folder, net, address, token;
    std::unique_ptr<support::Background> units, daemon;
};

TEST_F(Fleet100, PollBackupAndAnApplyThatStopsAtItsCeiling) {
    // The poll on its schedule: every unit known, the faulty ones down.
    std::string metrics;
    for (int i = 0; i < 600; ++i) {
        auto a = api("GET", "/metrics");
        ASSERT_TRUE(a);
        metrics = a->body;
        if (metrics.find("unitfleetd_polls_total 2\n") != std::string::npos)
            break;
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_NE(metrics.find("unitfleetd_polls_total 2\n"), std::string::npos) << metrics;
    int up = 0, down = 0;
    for (std::size_t at = metrics.find("\nunit_up{"); at != std::string::npos;
         at = metrics.find("\nunit_up{", at + 1)) {
        auto end = metrics.find('\n', at + 1);
        up += metrics.compare(end - 2, 2, " 1") == 0;
        down += metrics.compare(end - 2, 2, " 0") == 0;
    }
    EXPECT_EQ(up + down, kUnits);
    EXPECT_GE(down, 1);  // the silent unit

    // A backup job into the store, its commit by the job's user.
    auto backup = job({{"kind", "backup"}});
    // Unit 70 dropped its one broken reply in the poll already: only the
    // silent unit fails.
    EXPECT_EQ(backup["state"], "failed") << backup.dump(1);
    EXPECT_EQ(backup["retry"], json({"u40"}));
    auto log =
        support::run({"/usr/bin/git", "-C", folder + "/state/store", "log", "--format=%an|%s"});
    EXPECT_EQ(log.out.rfind("ops|backup of 100 units: 99 changed, 1 failed\n", 0), 0u) << log.out;

    // The command line's figures for the same rollout on the same fleet:
    // "apply: 100 units, 32 applied, 0 unchanged, 3 failed, 65 not attempted".
    auto apply = job({{"kind", "apply"},
                      {"group", "fleet"},
                      {"params",
                       {{"baseline", "fleet"},
                        {"canary", 5},
                        {"batch", "10"},
                        {"max_fail", "2"},
                        {"commit", true}}}});
    EXPECT_EQ(apply["state"], "failed") << apply.dump(1);
    std::string message = apply["message"];
    EXPECT_NE(message.find("apply: 100 units, 32 applied, 0 unchanged, 3 failed, 65 not attempted"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("rollout: stopped after batch 4 of 11: 3 units failed, at most 2 may"),
              std::string::npos)
        << message;
    std::vector<std::string> retry = apply["retry"];
    std::vector<std::string> expected = {"u12", "u25", "u31"};
    for (int i = 35; i < kUnits; ++i) expected.push_back("u" + std::to_string(i));
    std::sort(expected.begin(), expected.end());
    std::sort(retry.begin(), retry.end());
    EXPECT_EQ(retry, expected);
    EXPECT_EQ(apply["units_reached"], 35);
}

// The backup every 2 s, as `backup.every` allows: soon after the start.
class ScheduledFleet100 : public Fleet100 {
  protected:
    std::string backupSchedule() const override { return R"({"every": 2, "jitter": 0})"; }
};

TEST_F(ScheduledFleet100, BackupOnItsScheduleAndTheStatusTheCommandLineSees) {
    // The scheduled backup: a commit by "schedule" of every unit but the
    // silent one, and its job in the API.
    std::string log;
    for (int i = 0; i < 300 && log.find("schedule|") == std::string::npos; ++i) {
        std::this_thread::sleep_for(100ms);
        log = support::run({"/usr/bin/git", "-C", folder + "/state/store", "log",
                            "--format=%an|%s"})
                  .out;
    }
    EXPECT_EQ(log.rfind("schedule|backup of 100 units: 99 changed, 1 failed\n", 0), 0u) << log;
    auto jobs = json::parse(api("GET", "/api/v1/jobs")->body);
    ASSERT_FALSE(jobs["jobs"].empty()) << jobs.dump(1);
    auto first = jobs["jobs"].back();
    EXPECT_EQ(first["started_by"], "schedule");
    EXPECT_EQ(first["kind"], "backup");

    // After two scheduled polls, the command line's status of the same
    // inventory and the API's units agree unit by unit.
    for (int i = 0; i < 300; ++i) {
        if (api("GET", "/metrics")->body.find("unitfleetd_polls_total 2\n") != std::string::npos)
            break;
        std::this_thread::sleep_for(100ms);
    }
    auto cli = support::run({UNITFLEET_BIN, "status", "--json", "--timeout", "3",
                             folder + "/units.txt"});
    EXPECT_EQ(cli.status, 1) << cli.err;  // the silent unit is down
    std::map<std::string, json> seen;
    json asked = json::parse(cli.out);
    for (const auto& u : asked["units"]) seen[u["name"]] = u;
    auto served = json::parse(api("GET", "/api/v1/units?per_page=100")->body)["units"];
    ASSERT_EQ(served.size(), static_cast<std::size_t>(kUnits));
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kUnits)) << cli.out;
    for (const auto& u : served) {
        const json& c = seen[u["name"].get<std::string>()];
        const json& s = u["status"];
        ASSERT_TRUE(s.is_object()) << u.dump();
        EXPECT_EQ(s["up"], c["up"]) << u.dump() << " against " << c.dump();
        EXPECT_EQ(s["status_ok"], c["status_ok"]) << u["name"];
        EXPECT_EQ(s["status_text"], c["status"]) << u["name"];
        EXPECT_EQ(u["state"], c["up"].get<bool>() ? "up" : "down") << u["name"];
    }
}

// Every unit answers late, so a backup of the fleet lasts long enough to
// kill the daemon in its middle.
class SlowFleet100 : public Fleet100 {
  protected:
    std::vector<std::string> everyUnit() const override { return {"--delay", "150"}; }
};

// Each unit of a job's answer once, with its outcome.
std::map<std::string, std::string> outcomes(const json& job) {
    std::map<std::string, std::string> out;
    for (const auto& r : job["results"]) {
        EXPECT_TRUE(out.emplace(r["unit"], r["outcome"]).second) << "listed twice: " << r.dump();
    }
    return out;
}

std::string integrityCheck(const std::string& path) {
    sqlite3* db = nullptr;
    std::string answer;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        answer = std::string("cannot open: ") + (db ? sqlite3_errmsg(db) : "no memory");
    } else {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) != SQLITE_OK)
            answer = std::string("cannot check: ") + sqlite3_errmsg(db);
        while (s && sqlite3_step(s) == SQLITE_ROW)
            answer += reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return answer;
}

TEST_F(SlowFleet100, KillNineMidJobShowsItInterruptedWithTheUnitsItReached) {
    int id = startJob({{"kind", "backup"}});
    ASSERT_NE(id, 0);
    // Until some units have their result and the job still runs.
    std::map<std::string, std::string> before;
    json seen;
    auto finished = [](const std::map<std::string, std::string>& units) {
        return std::count_if(units.begin(), units.end(),
                             [](const auto& u) { return u.second != "running"; });
    };
    for (int i = 0; i < 600; ++i) {
        seen = jobNow(id);
        ASSERT_EQ(seen["state"], "running") << "the job ended before the kill: " << seen.dump(1);
        before = outcomes(seen);
        if (finished(before) >= 10)
            break;
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_GE(finished(before), 10) << seen.dump(1);
    daemon->kill();
    std::string db = folder + "/state/unitfleetd.db";
    EXPECT_EQ(integrityCheck(db), "ok") << "after the kill";

    ASSERT_NO_FATAL_FAILURE(startDaemon());
    auto after = jobNow(id);
    EXPECT_EQ(after["state"], "interrupted") << after.dump(1);
    EXPECT_FALSE(after["finished"].is_null());
    EXPECT_EQ(after["units_total"], kUnits);
    auto reached = outcomes(after);
    std::set<std::string> fleet;
    for (int i = 0; i < kUnits; ++i) fleet.insert("u" + std::to_string(i));
    std::set<std::string> retry(after["retry"].begin(), after["retry"].end());
    int stillRunning = 0;
    for (const auto& [unit, outcome] : reached) {
        EXPECT_TRUE(fleet.count(unit)) << "not a unit of the job: " << unit;
        stillRunning += outcome == "running";
        if (outcome == "interrupted") {
            EXPECT_TRUE(retry.count(unit)) << unit << " cut off, yet not to be retried";
        }
    }
    EXPECT_EQ(stillRunning, 0) << after.dump(1);
    // A unit may have ended between the last look and the kill: those seen
    // ended stay as they were, those seen running are still listed.
    for (const auto& [unit, outcome] : before) {
        ASSERT_TRUE(reached.count(unit)) << unit << " lost by the kill";
        if (outcome != "running") {
            EXPECT_EQ(reached[unit], outcome) << unit;
        }
    }
    // Every unit of the job is listed, those never started as interrupted
    // (and so retried), though only those started count as reached.
    EXPECT_EQ(reached.size(), static_cast<std::size_t>(kUnits)) << after.dump(1);
    EXPECT_GE(after["units_reached"].get<int>(), finished(before));
    EXPECT_LT(after["units_reached"].get<int>(), kUnits);

    daemon->stop();
    EXPECT_EQ(integrityCheck(db), "ok") << "after the restart";
}

}  // namespace
