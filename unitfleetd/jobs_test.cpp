// SPDX-License-Identifier: Apache-2.0
// Jobs on the real runner, the status poll, /metrics and /probe against
// simulated units on loopback.
#include <algorithm>
#include <filesystem>
#include <set>
#include <thread>

#include "tests/support/process.h"
#include "unitfleet/commands.h"
#include "unitfleetd/jobs_fixture.h"

namespace unitfleetd::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
namespace fs = std::filesystem;

class Jobs : public JobsFixture {};

std::vector<std::string> iniFiles(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".ini")
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A mode's value in a listing ("NAME<padding>= VALUE" lines).
std::string modeValue(const std::string& listing, const std::string& mode) {
    std::size_t at = listing.find("\n" + mode + " ");
    if (at == std::string::npos)
        return "(none)";
    std::size_t eq = listing.find("= ", at);
    std::size_t end = listing.find('\n', at + 1);
    return eq < end ? listing.substr(eq + 2, end - eq - 2) : "(none)";
}

// The command line's own run, in this process (its output to a scratch file).
int cliRun(const std::function<int(unitfleet::Streams)>& run) {
    support::Capture out;
    return run({out.file(), out.file(), false});
}

TEST_F(Jobs, BackupMakesTheCommandLinesCommitsAndNamesTheUser) {
    startUnits(4);
    startWithCore();
    auto token = addToken("alice", Role::Operator);
    auto id = startJob(token, {{"kind", "backup"}});
    auto job = waitForJob(token, id);
    ASSERT_EQ(job["state"], "done") << job.dump(1);
    EXPECT_EQ(job["started_by"], "alice");
    ASSERT_EQ(job["results"].size(), 4u);
    for (const auto& r : job["results"]) EXPECT_EQ(r["outcome"], "saved") << r.dump();
    EXPECT_TRUE(job["retry"].empty());
    EXPECT_NE(job["message"].get<std::string>().find("history: commit "), std::string::npos)
        << job["message"];

    // The command line on the same units into a store of its own.
    std::string cliStore = folder + "/cli-store";
    unitfleet::BackupOptions o;
    o.run.inventory = folder + "/units.txt";
    o.dir = cliStore;
    o.git = true;
    unitfleet::RunControl noSignals;  // the test process keeps its own signal handling
    o.run.control = &noSignals;
    ASSERT_EQ(cliRun([&](unitfleet::Streams s) { return unitfleet::runBackup(o, s); }), 0);

    EXPECT_EQ(iniFiles(storeFolder()), iniFiles(cliStore));
    for (const auto& name : iniFiles(cliStore))
        EXPECT_EQ(support::readFile(storeFolder() + "/" + name),
                  support::readFile(cliStore + "/" + name))
            << name;
    auto jobLog = gitLog(storeFolder());
    auto cliLog = gitLog(cliStore);
    ASSERT_EQ(jobLog.size(), 1u);
    ASSERT_EQ(cliLog.size(), 1u);
    EXPECT_EQ(jobLog[0], "alice|unitfleet|" + cliLog[0].substr(cliLog[0].rfind('|') + 1));
    EXPECT_EQ(cliLog[0].substr(0, cliLog[0].rfind('|')), "unitfleet|unitfleet");
    EXPECT_TRUE(fs::exists(storeFolder() + "/report.txt"));
}

// Units 2, 5 and 7 refuse sets of POSTimeout. Batches of two with at most
// one failure: after the third batch (units 4, 5) two have failed, so the
// rollout stops there and units 6 to 9 are not attempted.
TEST_F(Jobs, ApplyPastItsCeilingStopsAsTheCommandLineWithItsRetrySet) {
    auto refusing = [](int i, unitsim::Options& o) {
        if (i == 2 || i == 5 || i == 7)
            o.faults.refusedModes = {"POSTimeout"};
    };
    startUnits(10, refusing);
    startWithCore();
    auto token = addToken("bob", Role::Operator);
    auto id = startJob(
        token,
        {{"kind", "apply"},
         {"params",
          {{"ini", "POSTimeout = 30\n"}, {"batch", "2"}, {"max_fail", "1"}, {"commit", true}}}});
    auto job = waitForJob(token, id);
    ASSERT_EQ(job["state"], "failed") << job.dump(1);
    std::string message = job["message"];
    EXPECT_NE(message.find("rollout: stopped after batch 3 of 5: 2 units failed, at most 1 may"),
              std::string::npos)
        << message;
    std::map<std::string, std::string> outcome;
    for (const auto& r : job["results"]) outcome[r["unit"]] = r["outcome"];
    struct Expect {
        int unit;
        const char* outcome;
    };
    for (auto [unit, word] : std::initializer_list<Expect>{{0, "applied"},
                                                           {1, "applied"},
                                                           {2, "refused"},
                                                           {4, "applied"},
                                                           {5, "refused"},
                                                           {6, "not attempted"},
                                                           {9, "not attempted"}})
        EXPECT_EQ(outcome[unitName(unit)], word) << unitName(unit);
    std::vector<std::string> retry = job["retry"];
    std::sort(retry.begin(), retry.end());
    EXPECT_EQ(retry, (std::vector<std::string>{"u2", "u5", "u6", "u7", "u8", "u9"}));

    // The command line with the same rollout on the same kind of fleet
    // stops after the same batch and leaves the same units to retry.
    JobsFixture::TearDown();
    folder = support::makeTempDir("unitfleetd-cli");
    startUnits(10, refusing);
    support::writeFile(folder + "/units.txt", inventoryText);
    support::writeFile(folder + "/modes.ini", "POSTimeout = 30\n");
    unitfleet::ApplyOptions o;
    o.run.inventory = folder + "/units.txt";
    o.ini = folder + "/modes.ini";
    o.commit = true;
    o.gitDir = folder + "/store";
    o.rollout = {"2", "1", 0};
    unitfleet::RunControl noSignals;
    o.run.control = &noSignals;
    EXPECT_EQ(cliRun([&](unitfleet::Streams s) { return unitfleet::runApply(o, s); }),
              unitfleet::kExitRolloutStopped);
    std::string retryFile = support::readFile(folder + "/store/retry.inventory");
    for (int i = 0; i < 10; ++i) {
        bool listed = retryFile.find(unitAddress(i) + " " + unitName(i)) != std::string::npos;
        EXPECT_EQ(listed, std::find(retry.begin(), retry.end(), unitName(i)) != retry.end())
            << unitName(i);
    }
}

TEST_F(Jobs, StopEndsAJobBetweenUnits) {
    startUnits(8, [](int, unitsim::Options& o) { o.faults.replyDelay = 40ms; });
    startWithCore(",\"concurrency\": 1");
    auto token = addToken("carol", Role::Operator);
    auto id = startJob(token, {{"kind", "backup"}});
    // Once a unit is done, stop.
    for (int i = 0; i < 400; ++i) {
        auto job = json::parse(getText(token, "/api/v1/jobs/" + std::to_string(id)));
        if (job["units_reached"].get<int>() >= 1)
            break;
        std::this_thread::sleep_for(10ms);
    }
    auto a = tokenCall(token, "POST", "/api/v1/jobs/" + std::to_string(id) + "/stop");
    ASSERT_TRUE(a);
    ASSERT_EQ(a->status, 202) << a->body;
    auto job = waitForJob(token, id);
    EXPECT_EQ(job["state"], "stopped") << job.dump(1);
    int saved = 0, interrupted = 0;
    for (const auto& r : job["results"]) {
        saved += r["outcome"] == "saved";
        interrupted += r["outcome"] == "interrupted";
    }
    EXPECT_GE(saved, 1);
    EXPECT_GE(interrupted, 1);
    EXPECT_EQ(saved + interrupted, 8) << job.dump(1);
    EXPECT_NE(job["message"].get<std::string>().find("stopped: on request"), std::string::npos);
    // The units it reached are in the store, and a new job may take them.
    EXPECT_EQ(static_cast<int>(iniFiles(storeFolder()).size()), saved);
    auto next = startJob(token, {{"kind", "status"}});
    EXPECT_EQ(waitForJob(token, next)["state"], "done");
}

// Two jobs on units of their own record into the one store at once: both
// commits are there, each naming its user.
TEST_F(Jobs, JobsOnOtherUnitsRunSideBySideIntoOneStore) {
    startUnits(8, [](int, unitsim::Options& o) { o.faults.replyDelay = 5ms; });
    startWithCore();
    auto even = addToken("gina", Role::Operator);
    auto odd = addToken("hal", Role::Operator);
    auto first = startJob(even, {{"kind", "backup"}, {"group", "even"}});
    auto second = startJob(odd, {{"kind", "backup"}, {"group", "odd"}});
    // The same units again while they are busy: refused, naming one.
    auto a = tokenCall(odd, "POST", "/api/v1/jobs", R"({"kind": "status", "units": ["u0"]})");
    EXPECT_TRUE(a->status == 409 || a->status == 201) << a->body;
    if (a->status == 409) {
        EXPECT_NE(a->body.find("u0 (job " + std::to_string(first) + ")"), std::string::npos);
    }
    EXPECT_EQ(waitForJob(even, first)["state"], "done");
    EXPECT_EQ(waitForJob(odd, second)["state"], "done");
    auto log = gitLog(storeFolder());
    ASSERT_EQ(log.size(), 2u) << ::testing::PrintToString(log);
    std::set<std::string> authors;
    for (const auto& line : log) authors.insert(line.substr(0, line.find('|')));
    EXPECT_EQ(authors, (std::set<std::string>{"gina", "hal"}));
    EXPECT_EQ(iniFiles(storeFolder()).size(), 8u);
}

struct ParamCase {
    const char* name;
    const char* body;
    const char* error;  // part of the answer
};

class JobParams : public JobsFixture, public ::testing::WithParamInterface<ParamCase> {};

TEST_P(JobParams, AreCheckedBeforeAnyUnitIsContacted) {
    startUnits(1);
    startWithCore();
    auto token = addToken("dan", Role::Operator);
    auto a = tokenCall(token, "POST", "/api/v1/jobs", GetParam().body);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->status, 400) << a->body;
    EXPECT_NE(a->body.find(GetParam().error), std::string::npos) << a->body;
    EXPECT_TRUE(units->operator[](0).received().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JobParams,
    ::testing::Values(
        ParamCase{"ApplyNeedsIni", R"({"kind": "apply"})", "either a baseline"},
        ParamCase{"ApplyNotBoth", R"({"kind": "apply", "params": {"ini": "A=1", "baseline": "x"}})",
                  "either a baseline"},
        ParamCase{"NoSuchBaseline", R"({"kind": "apply", "params": {"baseline": "tills"}})",
                  "no baseline is configured for group 'tills'"},
        ParamCase{"RestartNeedsCommit",
                  R"({"kind": "apply", "params": {"ini": "A=1", "restart": true}})",
                  "params.restart: needs commit"},
        ParamCase{"CeilingNeedsBatches",
                  R"({"kind": "apply", "params": {"ini": "A=1", "max_fail": "1"}})",
                  "params.max_fail: needs batch or canary"},
        ParamCase{"BatchOfNone", R"({"kind": "apply", "params": {"ini": "A=1", "batch": "0"}})",
                  "params.batch: takes N or N%"},
        ParamCase{"ShareOver100", R"({"kind": "apply", "params": {"ini": "A=1", "batch": "120%"}})",
                  "params.batch: takes N or N%"},
        ParamCase{"RestoreNeedsRevision", R"({"kind": "restore"})", "params.revision: is needed"},
        ParamCase{"UnknownKey", R"({"kind": "backup", "params": {"dir": "/etc"}})",
                  "params.dir: unknown for this kind of job"},
        ParamCase{"WrongType", R"({"kind": "restore", "params": {"revision": 7}})",
                  "params.revision: must be a non-empty string"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Jobs, ApplyFromABaselineThenRestoreFromTheStore) {
    startUnits(3);
    support::writeFile(folder + "/fleet.ini", "POSTimeout = 45\n");
    startWithCore(",\"baselines\": {\"fleet\": \"fleet.ini\"}");
    auto token = addToken("erin", Role::Operator);
    ASSERT_EQ(waitForJob(token, startJob(token, {{"kind", "backup"}}))["state"], "done");
    auto job =
        waitForJob(token, startJob(token, {{"kind", "apply"},
                                           {"group", "fleet"},
                                           {"params", {{"baseline", "fleet"}, {"commit", true}}}}));
    ASSERT_EQ(job["state"], "done") << job.dump(1);
    for (const auto& r : job["results"]) EXPECT_EQ(r["outcome"], "applied") << r.dump();
    EXPECT_EQ(modeValue(support::readFile(storeFolder() + "/u0.ini"), "POSTimeout"), "45");
    // The backup, then the change: the apply's "state before" matched the
    // backup, so it made no commit of its own.
    auto log = gitLog(storeFolder());
    ASSERT_EQ(log.size(), 2u) << ::testing::PrintToString(log);
    EXPECT_EQ(log[0].rfind("erin|unitfleet|apply of 3 units", 0), 0u) << log[0];

    job = waitForJob(token,
                     startJob(token, {{"kind", "restore"},
                                      {"units", {"u1"}},
                                      {"params", {{"revision", "HEAD~1"}, {"commit", true}}}}));
    ASSERT_EQ(job["state"], "done") << job.dump(1);
    ASSERT_EQ(job["results"].size(), 1u);
    EXPECT_EQ(job["results"][0]["outcome"], "applied");
    EXPECT_TRUE(
        fs::exists(folder + "/state/jobs/" + std::to_string(job["id"].get<int>()) + "/u1.ini"));
}

// A unit whose UnitID and UnitStatus hold quotes, markup, backslashes and
// a path; one that is down.
const std::string kHostileStatus = "<script>\"x\\y../../etc";
const std::string kHostileId = "T\"1</b>\\";

void hostile(int i, unitsim::Options& o) {
    if (i != 0)
        return;
    for (auto& m : o.modes) {
        if (m.name == "UnitStatus")
            m.value = kHostileStatus, m.size = 64;
        if (m.name == "UnitID")
            m.value = kHostileId;
    }
}

TEST_F(Jobs, PollFillsStatusAndMetricsWithTheUnitsTextEscaped) {
    startUnits(2, hostile, "127.0.0.1:9 gone fleet\n");
    startWithCore();
    auto token = addToken("viewer", Role::Viewer);
    bool started = false;
    onLoop([&] { started = daemon->pollNow(); });
    ASSERT_TRUE(started);
    json u0;
    for (int i = 0; i < 500; ++i) {
        u0 = json::parse(getText(token, "/api/v1/units/u0"));
        auto gone = json::parse(getText(token, "/api/v1/units/gone"));
        if (!u0["status"].is_null() && !gone["status"].is_null())
            break;
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_FALSE(u0["status"].is_null());
    EXPECT_EQ(u0["state"], "up");
    EXPECT_EQ(u0["status"]["status_text"], kHostileStatus);
    EXPECT_EQ(u0["status"]["unit_id"], kHostileId);
    EXPECT_FALSE(u0["status"]["status_ok"].get<bool>());
    EXPECT_TRUE(u0["status"]["drift_modes"].is_null());
    ASSERT_EQ(u0["status"]["recent"].size(), 1u);
    EXPECT_EQ(json::parse(getText(token, "/api/v1/units/gone"))["state"], "down");
    EXPECT_EQ(json::parse(getText(token, "/api/v1/units/u1"))["status"]["status_ok"], true);

    std::string metrics = getText(token, "/metrics");
    std::string labels = "{unit=\"u0\",address=\"" + unitAddress(0) + "\",group=\"fleet,even\"}";
    for (const auto& want : std::vector<std::string>{
             "unit_up" + labels + " 1\n",
             "unit_status_ok" + labels + " 0\n",
             "unit_up{unit=\"gone\",address=\"127.0.0.1\",group=\"fleet\"} 0\n",
             "unit_status_ok{unit=\"u1\",address=\"" + unitAddress(1) +
                 "\",group=\"fleet,odd\"} 1\n",
             "unit_info{unit=\"u0\",unit_id=\"T\\\"1</b>\\\\\",status=\"<script>\\\"x\\\\y../../"
             "etc\"} 1\n",
             "unitfleetd_polls_total 1\n",
             "unitfleetd_poll_duration_seconds ",
         })
        EXPECT_NE(metrics.find(want), std::string::npos) << want << "\nin:\n" << metrics;
    // No reply time for a unit that is down, no drift while nobody knows it.
    EXPECT_EQ(metrics.find("unit_reply_seconds{unit=\"gone\""), std::string::npos);
    EXPECT_EQ(metrics.find("unit_drift_modes{"), std::string::npos);
}

TEST_F(Jobs, ProbeAsksOnlyUnitsOfTheInventory) {
    startUnits(1, hostile);
    startWithCore();
    auto token = addToken("viewer", Role::Viewer);
    struct Case {
        std::string target;
        int status;
        std::string has;
    };
    for (const auto& c : std::vector<Case>{
             {"/probe?target=u0", 200, "unit_up{unit=\"u0\",address=\"" + unitAddress(0) + "\"} 1"},
             {"/probe?target=" + unitAddress(0), 200, "unit_status_ok{unit=\"u0\""},
             {"/probe?target=" + unitAddress(0) + ":1283", 200, "status=\"<script>\\\"x"},
             {"/probe?target=127.0.0.1", 404, "not a unit of the inventory"},
             {"/probe?target=" + unitAddress(5), 404, "not a unit of the inventory"},
             {"/probe?target=..%2F..%2Fetc%2Fpasswd", 404, "not a unit of the inventory"},
             {"/probe?target=", 400, "give ?target="},
             {"/probe", 400, "give ?target="},
         }) {
        auto body = getText(token, c.target, c.status);
        EXPECT_NE(body.find(c.has), std::string::npos) << c.target << ": " << body;
    }
    EXPECT_EQ(call("GET", "/probe?target=u0")->status, 401);
}

TEST_F(Jobs, ScheduledPollFiresAndStatusChangesAreEvents) {
    startUnits(2);
    startWithCore(",\"status_interval\": 1");
    auto token = addToken("viewer", Role::Viewer);
    std::shared_ptr<EventStream> stream;
    onLoop([&] {
        stream = daemon->hub().subscribe("status");
        daemon->startSchedules();
    });
    int polls = 0;
    for (int i = 0; i < 1000 && polls < 2; ++i) {
        std::string metrics = getText(token, "/metrics");
        auto at = metrics.find("\nunitfleetd_polls_total ");
        if (at != std::string::npos)
            polls = std::atoi(metrics.c_str() + at + 24);
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_GE(polls, 2);
    // The first poll's answers are changes (from nothing known); the second
    // changed nothing, so two status events in all.
    std::vector<std::string> seen;
    onLoop([&] {
        while (auto e = stream->pop()) seen.push_back(*e);
    });
    int statusEvents = 0;
    for (const auto& e : seen) statusEvents += e.rfind("event: status\n", 0) == 0;
    EXPECT_EQ(statusEvents, 2) << ::testing::PrintToString(seen);
    auto u0 = json::parse(getText(token, "/api/v1/units/u0"));
    EXPECT_GE(u0["status"]["recent"].size(), 2u);
}

TEST_F(Jobs, ScheduledBackupIsSkippedWhileUnitsAreBusy) {
    startUnits(3, [](int, unitsim::Options& o) { o.faults.replyDelay = 30ms; });
    startWithCore(",\"concurrency\": 1");
    auto token = addToken("frank", Role::Operator);
    auto busy = startJob(token, {{"kind", "backup"}, {"units", {"u1"}}});
    std::optional<JobRecord> skipped;
    onLoop([&] { skipped = daemon->scheduledBackup(); });
    EXPECT_FALSE(skipped);
    waitForJob(token, busy);
    std::optional<JobRecord> scheduled;
    onLoop([&] { scheduled = daemon->scheduledBackup(); });
    ASSERT_TRUE(scheduled);
    auto job = waitForJob(token, scheduled->id);
    EXPECT_EQ(job["state"], "done") << job.dump(1);
    EXPECT_EQ(job["started_by"], "schedule");
    auto log = gitLog(storeFolder());
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].rfind("schedule|", 0), 0u) << log[0];
    EXPECT_EQ(log[1].rfind("frank|", 0), 0u) << log[1];
    // The scheduled backup sets each unit's last backup.
    std::string metrics = getText(token, "/metrics");
    EXPECT_NE(metrics.find("unit_last_backup_timestamp_seconds{unit=\"u2\""), std::string::npos);
}

}  // namespace
}  // namespace unitfleetd::testing
