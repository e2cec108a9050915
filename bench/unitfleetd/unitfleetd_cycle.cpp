// SPDX-License-Identifier: Apache-2.0
// One status cycle of unitfleetd's poll against the same poll by the command
// line (`unitfleet status`), over 10,000 units of one unitsim that waits 5 ms
// before every reply, 32 units asked at once by both. The two take turns so
// that other work on the machine slows both alike; the daemon's figure is the
// steady cycle (UnitIDs known) and its first (UnitIDs asked too). Target: a
// cycle within 1.2 times the command line's.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/unitsim/bench_run.h"
#include "platform/socket.h"
#include "tests/support/process.h"
#include "unitfleet/inventory.h"
#include "unitfleetd/status_poll.h"

namespace {

using namespace std::chrono_literals;

constexpr platform::Ipv4 kFirst = 0x7F340001;  // 127.52.0.1
constexpr int kWorkers = 32;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The daemon's cycle: every unit asked, the answers recorded as the server
// thread records them.
double daemonCycle(const std::vector<unitfleet::InventoryUnit>& units, bool idsKnown,
                   unitfleetd::FleetStatus& fleet, unitfleetd::EventHub& hub, int& up) {
    unitfleetd::AskSettings settings;
    settings.timeout = 10s;
    settings.workers = kWorkers;
    if (idsKnown)
        settings.knowsId = [](const std::string&) { return true; };
    auto start = std::chrono::steady_clock::now();
    auto answers = unitfleetd::askUnits(units, settings, nullptr, {});
    unitfleetd::recordAnswers(fleet, hub, answers);
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    up = static_cast<int>(std::count_if(answers.begin(), answers.end(),
                                        [](const auto& a) { return a.up; }));
    return took.count();
}

}  // namespace

int main(int argc, char** argv) {
    int units = argc > 1 ? std::atoi(argv[1]) : 10000;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (units < 1 || units > 60000 || rounds < 1 || rounds > 10) {
        std::fprintf(stderr, "usage: unitfleetd_cycle [UNITS 1-60000, default 10000] "
                             "[ROUNDS 1-10, default 3]\n");
        return 2;
    }
    std::string dir = support::makeTempDir("unitfleetd-cycle");
    auto sim =
        unitsim_bench::startUnits("unitfleetd_cycle", UNITSIM_BIN, kFirst, units, {"--delay", "5"});
    if (!sim)
        return 1;
    std::string text = unitsim_bench::inventoryOf(kFirst, units);
    support::writeFile(dir + "/all.txt", text);
    unitfleet::Inventory inventory = unitfleet::parseInventory(text, "all.txt");

    unitfleetd::FleetStatus fleet;
    unitfleetd::EventHub hub;
    int up = 0;
    double first = daemonCycle(inventory.units, false, fleet, hub, up);
    std::printf("status of %d units, replies delayed by 5 ms, %d asked at once\n", units,
                kWorkers);
    std::printf("daemon's first cycle (UnitIDs asked too): %.2f s, %d up\n", first, up);
    std::vector<double> cli, daemon;
    bool ok = up == units;
    for (int round = 1; round <= rounds; ++round) {
        auto t = unitsim_bench::timedRun(
            {UNITFLEET_BIN, "status", "all.txt", "-j", std::to_string(kWorkers), "--timeout", "10"},
            dir);
        ok = ok && t.status == 0;
        cli.push_back(t.seconds);
        daemon.push_back(daemonCycle(inventory.units, true, fleet, hub, up));
        ok = ok && up == units;
        std::printf("round %d: command line %.2f s, daemon %.2f s (%.2fx)\n", round, cli.back(),
                    daemon.back(), daemon.back() / cli.back());
    }
    double ratio = median(daemon) / median(cli);
    std::printf("median: command line %.2f s, daemon %.2f s: %.2fx (target <= 1.2x)%s\n",
                median(cli), median(daemon), ratio, ok ? "" : "; some units did not answer");
    sim->stop();
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
