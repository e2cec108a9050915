// SPDX-License-Identifier: Apache-2.0
// Jobs outlive the daemon: a restart keeps their results, and a daemon
// killed mid-job shows the job as interrupted with the units it reached.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "tests/support/process.h"
#include "unitfleetd/api_fixture.h"

namespace unitfleetd::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

class Restart : public DaemonFixture {};

TEST_F(Restart, KeepsJobsAndTheirResults) {
    startDaemon();
    auto token = addToken("ops", Role::Operator);
    auto a = tokenCall(token, "POST", "/api/v1/jobs",
                       R"({"kind": "backup", "group": "tills", "params": {"outcome": "changed"}})");
    ASSERT_EQ(a->status, 201);
    auto before = waitForJob(token, 1);
    ASSERT_EQ(before["state"], "failed");
    stopDaemon();

    startDaemon();
    EXPECT_EQ(daemon->interruptedAtStart(), 0);
    auto after = json::parse(tokenCall(token, "GET", "/api/v1/jobs/1")->body);
    EXPECT_EQ(after, before);
    EXPECT_EQ(after["results"].size(), 2u);
    EXPECT_EQ(daemon->store().integrityCheck(), "ok");
}

// Kills a forked child for sure, whatever the test's end.
struct Child {
    pid_t pid = -1;
    ~Child() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

TEST_F(Restart, AJobCutShortByKillMinus9IsInterruptedWithTheUnitsItReached) {
    std::string token;
    {
        // The token goes into the state file before the daemon starts.
        std::string error;
        auto store = StateStore::open(folder + "/state", error);
        ASSERT_TRUE(store) << error;
        Accounts accounts(*store);
        token = accounts.addToken("ops", Role::Operator, error).value_or("");
        ASSERT_FALSE(token.empty()) << error;
    }
    Child child;
    child.pid = fork();
    ASSERT_GE(child.pid, 0);
    if (child.pid == 0) {
        // The daemon, in a process of its own, until it is killed.
        startDaemon();
        if (!daemon)
            _exit(1);
        for (int i = 0; i < 600; ++i) std::this_thread::sleep_for(100ms);
        _exit(2);
    }
    ASSERT_TRUE(support::waitForPort(address, port, 10s));
    auto a = tokenCall(token, "POST", "/api/v1/jobs",
                       R"({"kind": "backup", "units": ["till-1", "till-2", "scale-1", "127.0.1.4"],
                           "params": {"hang_at": 2}})");
    ASSERT_TRUE(a);
    ASSERT_EQ(a->status, 201) << a->body;
    json job;
    for (int i = 0; i < 200; ++i) {
        job = json::parse(tokenCall(token, "GET", "/api/v1/jobs/1")->body);
        if (job["units_reached"] == 3)
            break;
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_EQ(job["units_reached"], 3) << job.dump();
    ASSERT_EQ(job["state"], "running");

    kill(child.pid, SIGKILL);
    int status = 0;
    waitpid(child.pid, &status, 0);
    child.pid = -1;
    ASSERT_TRUE(WIFSIGNALED(status));

    startDaemon();
    EXPECT_EQ(daemon->interruptedAtStart(), 1);
    EXPECT_EQ(daemon->store().integrityCheck(), "ok");
    auto after = json::parse(tokenCall(token, "GET", "/api/v1/jobs/1")->body);
    EXPECT_EQ(after["state"], "interrupted");
    EXPECT_EQ(after["units_reached"], 3);
    std::map<std::string, std::string> outcomes;
    for (auto& r : after["results"]) outcomes[r["unit"]] = r["outcome"];
    EXPECT_EQ(outcomes, (std::map<std::string, std::string>{
                            {"till-1", "ok"},
                            {"till-2", "ok"},
                            {"scale-1", "interrupted"},
                            {"127.0.1.4", "interrupted"}}));
    // Its units are free for a new job.
    EXPECT_EQ(
        tokenCall(token, "POST", "/api/v1/jobs", R"({"kind": "status", "units": ["scale-1"]})")
            ->status,
        201);
}

}  // namespace
}  // namespace unitfleetd::testing
