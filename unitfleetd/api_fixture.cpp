// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/api_fixture.h"

#include <unistd.h>

#include <filesystem>

#include "tests/support/process.h"

namespace unitfleetd::testing {

using namespace std::chrono_literals;
using nlohmann::json;

FakeRunner::~FakeRunner() {
    joinAll();
}

void FakeRunner::joinAll() {
    hold(false);
    for (auto& t : threads_)
        if (t.joinable())
            t.join();
}

std::vector<std::string> FakeRunner::check(const std::string&, const json& params) const {
    if (params.contains("outcome") && !params["outcome"].is_string())
        return {"params.outcome must be a string"};
    if (params.contains("hang_at") && !params["hang_at"].is_number_integer())
        return {"params.hang_at must be a whole number"};
    return {};
}

void FakeRunner::start(JobRequest request, std::shared_ptr<JobProgress> progress) {
    threads_.emplace_back([this, request = std::move(request), progress] {
        std::string outcome = request.params.value("outcome", std::string("ok"));
        int hangAt = request.params.value("hang_at", -1);
        int index = 0;
        for (const auto& unit : request.units) {
            if (progress->stopRequested())
                return progress->finished("stopped", "stopped by request");
            progress->unitStarted(unit);
            ++started_;
            // A unit that never ends, for the crash tests: they kill the process.
            if (index++ == hangAt)
                for (int i = 0; i < 600 && !progress->stopRequested(); ++i)
                    std::this_thread::sleep_for(50ms);
            {
                std::unique_lock lock(mutex_);
                changed_.wait_for(lock, 20s, [&] { return !hold_ || releases_ > 0; });
                if (releases_ > 0)
                    --releases_;
            }
            progress->unitFinished(unit, outcome, "fake " + request.kind);
        }
        progress->finished(outcome == "ok" ? "done" : "failed", "");
    });
}

void FakeRunner::hold(bool on) {
    std::lock_guard lock(mutex_);
    hold_ = on;
    changed_.notify_all();
}

void FakeRunner::releaseOne() {
    std::lock_guard lock(mutex_);
    ++releases_;
    changed_.notify_all();
}

std::string testAddress(int salt) {
    int n = static_cast<int>(getpid()) * 7 + salt;
    return "127.36." + std::to_string(n / 250 % 250) + "." + std::to_string(n % 250 + 1);
}

void DaemonFixture::SetUp() {
    folder = support::makeTempDir("unitfleetd-api");
    address = testAddress(0);
    inventoryText =
        "127.0.1.1 till-1 tills north\n"
        "127.0.1.2 till-2 tills south\n"
        "127.0.1.3 scale-1 scales north\n"
        "127.0.1.4\n";
}

void DaemonFixture::TearDown() {
    stopDaemon();
    std::filesystem::remove_all(folder);
}

void DaemonFixture::startDaemon(const std::string& configExtra) {
    support::writeFile(folder + "/units.txt", inventoryText);
    std::string text = "{\"inventory\": \"units.txt\", \"state\": \"state\", \"listen\": \"" +
                       address + ":" + std::to_string(port) + "\"" + configExtra + "}";
    support::writeFile(folder + "/unitfleetd.conf", text);
    std::vector<std::string> errors;
    auto config = loadConfig(folder + "/unitfleetd.conf", errors);
    ASSERT_TRUE(config) << errors[0];
    daemon = Daemon::create(*config, nullptr, errors);
    ASSERT_TRUE(daemon) << errors[0];
    daemon->setRunner(&runner);
    std::string error;
    ASSERT_TRUE(daemon->listen(error)) << error;
    loop = std::thread([d = daemon.get()] { d->run(); });
}

void DaemonFixture::stopDaemon() {
    if (!daemon)
        return;
    daemon->stop();
    if (loop.joinable())
        loop.join();
    // The job threads report into the daemon's state: they end first.
    runner.joinAll();
    daemon.reset();
}

void DaemonFixture::onLoop(std::function<void()> fn) {
    std::promise<void> done;
    daemon->server().post([&] {
        fn();
        done.set_value();
    });
    done.get_future().wait_for(10s);
}

std::optional<HttpAnswer> DaemonFixture::call(const std::string& method, const std::string& target,
                                              std::vector<std::string> headers,
                                              const std::string& body) {
    if (!body.empty())
        headers.push_back("Content-Type: application/json");
    return request(address, port, method, target, headers, body);
}

std::optional<HttpAnswer> DaemonFixture::sessionCall(const Session& s, const std::string& method,
                                                     const std::string& target,
                                                     const std::string& body) {
    return call(method, target, {"Cookie: " + s.cookie, "X-CSRF-Token: " + s.csrf}, body);
}

std::optional<HttpAnswer> DaemonFixture::tokenCall(const std::string& token,
                                                   const std::string& method,
                                                   const std::string& target,
                                                   const std::string& body) {
    return call(method, target, {"Authorization: Bearer " + token}, body);
}

void DaemonFixture::addUser(const std::string& name, Role role, const std::string& password) {
    std::string error;
    ASSERT_TRUE(daemon->accounts().addUser(name, role, password, error)) << error;
}

std::string DaemonFixture::addToken(const std::string& name, Role role) {
    std::string error;
    auto token = daemon->accounts().addToken(name, role, error);
    EXPECT_TRUE(token) << error;
    return token.value_or("");
}

std::optional<Session> DaemonFixture::login(const std::string& name, const std::string& password) {
    auto a = call("POST", "/api/v1/login", {}, json{{"user", name}, {"password", password}}.dump());
    if (!a || a->status != 200 || a->cookies.empty())
        return std::nullopt;
    Session s;
    s.cookie = a->cookies[0].substr(0, a->cookies[0].find(';'));
    s.csrf = json::parse(a->body).value("csrf", "");
    return s;
}

json DaemonFixture::waitForJob(const std::string& token, std::int64_t id) {
    json job;
    for (int i = 0; i < 200; ++i) {
        auto a = tokenCall(token, "GET", "/api/v1/jobs/" + std::to_string(id));
        if (!a || a->status != 200)
            break;
        job = json::parse(a->body);
        if (job["state"] != "running")
            break;
        std::this_thread::sleep_for(50ms);
    }
    return job;
}

}  // namespace unitfleetd::testing
