// SPDX-License-Identifier: Apache-2.0
// unitfleetd's API latency under 50 clients at once: the unit list with
// 10,000 units in the inventory, and one unit's history with 365 commits in
// its store (a store of 10,000 listings, the unit changed in every commit).
// Prints p50 and p99 of each against the target (p99 <= 100 ms), the first
// (uncached) history walk, and the process's peak memory.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <future>
#include <string>
#include <thread>

#include "bench/load/load_driver.h"
#include "tests/support/process.h"
#include "unitfleetd/daemon.h"
#include "unitfleetd/test_client.h"

namespace {

constexpr int kUnits = 10000;
constexpr int kCommits = 365;
constexpr int kModes = 30;
constexpr const char* kAddress = "127.0.0.1";
constexpr std::uint16_t kPort = 18461;

std::string unitName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "u-%05d", i);
    return name;
}

std::string listing(int unit, int version) {
    std::string text = "\n\n# ***  Current Content  ***\n\nTargetIP = 127.50." +
                       std::to_string(unit / 250) + "." + std::to_string(unit % 250 + 1) + "\n";
    for (int m = 0; m < kModes; ++m)
        text += "Mode" + std::to_string(m) + " = " +
                std::to_string(m == unit % kModes ? version : m * 7) + "\n";
    return text;
}

void addFile(std::string& stream, const std::string& name, const std::string& content) {
    stream += "M 100644 inline " + name + "\ndata " + std::to_string(content.size()) + "\n" +
              content + "\n";
}

// A fast-import stream: every unit listed in the first commit, then each
// commit changes the watched unit and 20 others.
std::string storeStream(int watched) {
    std::string stream;
    long time = 1700000000;
    for (int c = 0; c < kCommits; ++c) {
        std::string message =
            "backup of " + std::to_string(kUnits) + " units: run " + std::to_string(c);
        stream += "commit refs/heads/main\ncommitter unitfleet <unitfleet@localhost> " +
                  std::to_string(time + c * 86400) + " +0000\ndata " +
                  std::to_string(message.size()) + "\n" + message + "\n";
        if (c == 0) {
            for (int u = 0; u < kUnits; ++u) addFile(stream, unitName(u) + ".ini", listing(u, 0));
            continue;
        }
        addFile(stream, unitName(watched) + ".ini", listing(watched, c));
        for (int k = 0; k < 20; ++k) {
            int u = (c * 97 + k * 491) % kUnits;
            if (u != watched)
                addFile(stream, unitName(u) + ".ini", listing(u, c));
        }
    }
    return stream;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    auto i = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[i];
}

void report(const char* what, const load::LoadResult& r) {
    double p50 = percentile(r.latencies, 0.5) * 1000, p99 = percentile(r.latencies, 0.99) * 1000;
    std::printf(
        "%-34s %6zu ok %4zu failed %8.0f req/s  p50 %7.2f ms  p99 %7.2f ms  "
        "(p99 target 100 ms: %.2fx of it)\n",
        what, r.completed, r.failed, r.perSecond(), p50, p99, p99 / 100);
}

load::LoadResult loadOf(const std::string& target, const std::string& token, std::size_t n) {
    load::LoadOptions o;
    o.host = kAddress;
    o.port = kPort;
    std::string request = "GET " + target + " HTTP/1.1\r\nHost: bench\r\nAuthorization: Bearer " +
                          token + "\r\nConnection: close\r\n\r\n";
    o.request.assign(request.begin(), request.end());
    o.requests = n;
    o.clients = 50;
    o.timeout = std::chrono::milliseconds(10000);
    return load::runLoad(o);
}

}  // namespace

int main() {
    using namespace unitfleetd;
    std::string folder = support::makeTempDir("unitfleetd-load");
    std::string inventory;
    for (int u = 0; u < kUnits; ++u)
        inventory += "127.50." + std::to_string(u / 250) + "." + std::to_string(u % 250 + 1) + " " +
                     unitName(u) + " tills\n";
    support::writeFile(folder + "/units.txt", inventory);
    support::writeFile(folder + "/tills.ini", "Mode1 = 7\nMode2 = 14\n");
    const int watched = 42;
    support::RunOptions slow;
    slow.timeout = std::chrono::minutes(5);
    auto init = support::run({"/usr/bin/git", "init", "-q", "-b", "main", folder + "/store"});
    slow.input = storeStream(watched);
    auto fed =
        support::run({"/usr/bin/git", "-C", folder + "/store", "fast-import", "--quiet"}, slow);
    if (init.status != 0 || fed.status != 0) {
        std::fprintf(stderr, "unitfleetd_load: cannot make the store: %s%s\n", init.err.c_str(),
                     fed.err.c_str());
        return 1;
    }
    support::writeFile(folder + "/unitfleetd.conf",
                       std::string("{\"inventory\": \"units.txt\", \"state\": \"state\", "
                                   "\"store\": \"store\", \"listen\": \"") +
                           kAddress + ":" + std::to_string(kPort) +
                           "\", \"baselines\": {\"tills\": \"tills.ini\"}}");
    std::vector<std::string> errors;
    auto config = loadConfig(folder + "/unitfleetd.conf", errors);
    auto daemon = config ? Daemon::create(*config, nullptr, errors) : nullptr;
    std::string error;
    if (!daemon || !daemon->listen(error)) {
        std::fprintf(stderr, "unitfleetd_load: %s%s\n", errors.empty() ? "" : errors[0].c_str(),
                     error.c_str());
        return 1;
    }
    std::thread loop([&] { daemon->run(); });
    auto token = daemon->accounts().addToken("bench", Role::Viewer, error);

    // The drift count of all units at start ends before the clients come.
    auto counted = [&] {
        std::promise<bool> done;
        daemon->server().post([&] { done.set_value(!daemon->detail().driftHead.empty()); });
        return done.get_future().get();
    };
    auto began = std::chrono::steady_clock::now();
    for (int i = 0; i < 1200 && !counted(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::printf("drift count of %d units at start: %.0f ms\n", kUnits,
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began)
                    .count());

    std::string history = "/api/v1/units/" + unitName(watched) + "/history";
    began = std::chrono::steady_clock::now();
    auto first = testing::request(kAddress, kPort, "GET", history,
                                  {"Authorization: Bearer " + token.value_or("")}, {},
                                  std::chrono::seconds(60));
    double cold =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began).count();
    auto list = testing::request(kAddress, kPort, "GET", "/api/v1/units",
                                 {"Authorization: Bearer " + token.value_or("")});
    if (!first || first->status != 200 || !list || list->status != 200 ||
        first->body.find("\"total\":" + std::to_string(kCommits)) == std::string::npos) {
        std::fprintf(stderr, "unitfleetd_load: the API does not answer as it should\n");
        daemon->stop();
        loop.join();
        return 1;
    }
    std::printf("first history of %s (%d commits, uncached walk): %.1f ms\n",
                unitName(watched).c_str(), kCommits, cold);

    report("GET /api/v1/units (page of 100)", loadOf("/api/v1/units", *token, 5000));
    report("GET /api/v1/units?per_page=1000", loadOf("/api/v1/units?per_page=1000", *token, 2000));
    report("GET /api/v1/units?sort=-name", loadOf("/api/v1/units?sort=-name", *token, 2000));
    report(("GET " + history).c_str(), loadOf(history, *token, 5000));
    report(("GET /api/v1/units/" + unitName(watched)).c_str(),
           loadOf("/api/v1/units/" + unitName(watched), *token, 5000));

    daemon->stop();
    loop.join();
    daemon.reset();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory of the process (daemon and clients): %.1f MB (target 300 MB: %.2fx)\n",
                static_cast<double>(usage.ru_maxrss) / 1024, usage.ru_maxrss / 1024.0 / 300);
    std::filesystem::remove_all(folder);
    return 0;
}
