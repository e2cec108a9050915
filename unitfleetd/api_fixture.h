// SPDX-License-Identifier: Apache-2.0
// A daemon in this test process on its own 127.x address, served by a
// thread of its own, with a fake job runner; and the calls tests make of it.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "unitfleetd/daemon.h"
#include "unitfleetd/test_client.h"

namespace unitfleetd::testing {

// Runs each unit in turn on a thread of its own: started, then "ok" (or
// the outcome params.outcome names). While `hold` is set it waits after
// starting each unit until released, so a test can catch a job midway;
// params.hang_at = N makes the Nth unit (from 0) hang until the job stops.
class FakeRunner : public JobRunner {
  public:
    ~FakeRunner() override;
    std::vector<std::string> kinds() const override { return {"status", "backup"}; }
    std::vector<std::string> check(const std::string& kind,
                                   const nlohmann::json& params) const override;
    void start(JobRequest request, std::shared_ptr<JobProgress> progress) override;

    void hold(bool on);
    // Lets one held unit go on.
    void releaseOne();
    int started() const { return started_; }
    // Waits for every job thread (after hold(false)).
    void joinAll();

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool hold_ = false;
    int releases_ = 0;
    std::atomic<int> started_{0};
    std::vector<std::thread> threads_;
};

struct Session {
    std::string cookie;  // "ufd_session=..."
    std::string csrf;
};

class DaemonFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Creates and starts the daemon; `configExtra` is added to the config
    // object's keys (",\"metrics_public\": true").
    void startDaemon(const std::string& configExtra = "");
    void stopDaemon();
    // Runs `fn` on the daemon's thread and waits for it.
    void onLoop(std::function<void()> fn);

    std::optional<HttpAnswer> call(const std::string& method, const std::string& target,
                                   std::vector<std::string> headers = {},
                                   const std::string& body = {});
    // A state-changing call as a browser session makes it (cookie + CSRF).
    std::optional<HttpAnswer> sessionCall(const Session& s, const std::string& method,
                                          const std::string& target, const std::string& body = {});
    std::optional<HttpAnswer> tokenCall(const std::string& token, const std::string& method,
                                        const std::string& target, const std::string& body = {});
    void addUser(const std::string& name, Role role, const std::string& password);
    std::string addToken(const std::string& name, Role role);
    std::optional<Session> login(const std::string& name, const std::string& password);
    // Polls the job until its state is not "running" (bounded).
    nlohmann::json waitForJob(const std::string& token, std::int64_t id);

    std::string folder;
    std::string address;
    std::uint16_t port = 18443;
    std::string inventoryText;
    FakeRunner runner;
    std::unique_ptr<Daemon> daemon;
    std::thread loop;
};

// A fresh 127.x.y.z for this process, so tests can run side by side.
std::string testAddress(int salt);

}  // namespace unitfleetd::testing
