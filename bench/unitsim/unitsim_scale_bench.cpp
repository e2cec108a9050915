// SPDX-License-Identifier: Apache-2.0
// unitsim at a shop chain's scale: its resident memory per idle unit with
// 1,000 and 10,000 units, and unitfleet backing up 10,000 of them with 5 ms
// before every reply (a real site's round trips) at -j 64 and -j 256, taking
// turns so that other work on the machine slows both alike.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "bench/unitsim/bench_run.h"
#include "platform/socket.h"
#include "tests/support/process.h"

namespace {

using namespace std::chrono_literals;
using unitsim_bench::timedRun;

constexpr platform::Ipv4 kFirst = 0x7F170001;  // 127.23.0.1

std::string rangeOf(int units) {
    return platform::dotted(kFirst) + "-" + platform::dotted(kFirst + static_cast<platform::Ipv4>(units) - 1);
}

// Resident memory of one unitsim serving `units` idle units, in KiB.
long idleMemory(int units) {
    support::Background sim({UNITSIM_BIN, "--address", rangeOf(units)});
    if (!sim.waitForOutput("listening", 60s))
        return 0;
    std::this_thread::sleep_for(200ms);
    return unitsim_bench::residentKiB(sim.pid());
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 2;
    if (rounds < 1 || rounds > 10) {
        std::fprintf(stderr, "usage: unitsim_scale_bench [ROUNDS 1-10, default 2]\n");
        return 2;
    }
    long one = idleMemory(1);
    std::printf("unitsim resident memory: 1 unit %ld KiB\n", one);
    for (int units : {1000, 10000}) {
        long kib = idleMemory(units);
        std::printf("  %5d idle units: %ld KiB, %.2f KiB per unit above the one-unit process\n",
                    units, kib, static_cast<double>(kib - one) / (units - 1));
    }

    constexpr int kUnits = 10000;
    std::string dir = support::makeTempDir("unitsim-scale-bench");
    auto sim = unitsim_bench::startUnits("unitsim_scale_bench", UNITSIM_BIN, kFirst, kUnits,
                                         {"--delay", "5"});
    if (!sim)
        return 1;
    support::writeFile(dir + "/all.txt", unitsim_bench::inventoryOf(kFirst, kUnits));
    std::printf("unitfleet backup of %d units of one unitsim, replies delayed by 5 ms\n", kUnits);
    bool ok = true;
    for (int round = 1; round <= rounds; ++round) {
        double seconds[2];
        int jobs[2] = {64, 256};
        for (int k = 0; k < 2; ++k) {
            std::string out = "out-" + std::to_string(jobs[k]);
            auto t = timedRun(
                {UNITFLEET_BIN, "backup", "all.txt", out, "-j", std::to_string(jobs[k])}, dir);
            ok = ok && t.status == 0;
            seconds[k] = t.seconds;
            std::filesystem::remove_all(dir + "/" + out);
        }
        std::printf(
            "round %d: -j 64 %.2f s (%.0f units/s), -j 256 %.2f s (%.0f units/s), "
            "-j 256 is %.2f times as fast\n",
            round, seconds[0], kUnits / seconds[0], seconds[1], kUnits / seconds[1],
            seconds[0] / seconds[1]);
    }
    std::printf("unitsim while serving them: %ld KiB resident\n",
                unitsim_bench::residentKiB(sim->pid()));
    if (!ok)
        std::printf("some backups failed (exit status not 0)\n");
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
