// unitfleet backup of many simulated units (one unitsim process serving them
// all on 127.17.100.1 upwards): -j 64 against -j 1, taking turns over a few
// rounds so that other work on the machine slows both alike, and the peak
// memory of unitfleet for a tenth of the units against all of them.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "net/socket.h"
#include "tests/support/process.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr net::Ipv4 kFirst = 0x7F116401;  // 127.17.100.1

struct Measured {
    int status = -1;
    double seconds = 0;
    long maxRssKb = 0;
};

// Runs unitfleet with its output thrown away; its wall time and peak memory.
Measured runFleet(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Measured m;
    std::fflush(stdout);
    auto start = Clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::execv(argv[0], argv.data());
        std::_Exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid)
        return m;
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m.maxRssKb = usage.ru_maxrss;
    return m;
}

std::string writeInventory(const std::string& dir, const std::string& name, int units) {
    std::string path = dir + "/" + name;
    std::string text;
    for (int i = 0; i < units; ++i)
        text +=
            net::dotted(kFirst + static_cast<net::Ipv4>(i)) + " unit-" + std::to_string(i) + "\n";
    support::writeFile(path, text);
    return path;
}

Measured backup(const std::string& dir, const std::string& inventory, int jobs, int round) {
    std::string out = dir + "/out-" + std::to_string(jobs) + "-" + std::to_string(round);
    Measured m = runFleet({UNITFLEET_BIN, "backup", inventory, out, "-j", std::to_string(jobs)});
    std::filesystem::remove_all(out);
    return m;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int units = argc > 1 ? std::atoi(argv[1]) : 1000;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    // Loopback units answer within microseconds; a delay before every reply
    // stands in for the round trips of a real site's network.
    int delayMs = argc > 3 ? std::atoi(argv[3]) : 0;
    if (units < 10 || units > 10000 || rounds < 1 || rounds > 20 || delayMs < 0 ||
        delayMs > 1000) {
        std::fprintf(stderr,
                     "usage: unitfleet_bench [UNITS 10-10000, default 1000] "
                     "[ROUNDS 1-20, default 3] [REPLY-DELAY-MS 0-1000, default 0]\n");
        return 2;
    }
    std::string dir = support::makeTempDir("unitfleet-bench");
    std::string range = net::dotted(kFirst) + "-" + net::dotted(kFirst + units - 1);
    support::Background sim(
        {UNITSIM_BIN, "--address", range, "--delay", std::to_string(delayMs)});
    if (!sim.waitForOutput("units listening", 60s)) {
        std::fprintf(stderr, "unitfleet_bench: unitsim did not start: %s\n",
                     sim.stop().err.c_str());
        return 1;
    }
    std::string all = writeInventory(dir, "all.txt", units);
    std::string tenth = writeInventory(dir, "tenth.txt", units / 10);
    std::printf(
        "unitfleet backup of %d simulated units served by one unitsim process, "
        "replies delayed by %d ms\n",
        units, delayMs);

    std::vector<double> serial, parallel, ratios;
    bool ok = true;
    for (int round = 1; round <= rounds; ++round) {
        Measured one = backup(dir, all, 1, round);
        Measured many = backup(dir, all, 64, round);
        ok = ok && one.status == 0 && many.status == 0;
        serial.push_back(one.seconds);
        parallel.push_back(many.seconds);
        ratios.push_back(one.seconds / many.seconds);
        std::printf(
            "round %d: -j 1 %.2f s (%.0f units/s), -j 64 %.2f s (%.0f units/s), "
            "ratio %.1f\n",
            round, one.seconds, units / one.seconds, many.seconds, units / many.seconds,
            one.seconds / many.seconds);
    }
    std::printf("median: -j 64 is %.1f times as fast as -j 1; %.0f units/s against %.0f\n",
                median(ratios), units / median(parallel), units / median(serial));

    Measured small = backup(dir, tenth, 64, 0);
    Measured large = backup(dir, all, 64, 0);
    ok = ok && small.status == 0 && large.status == 0;
    std::printf(
        "peak memory of unitfleet -j 64: %d units %ld KiB, %d units %ld KiB "
        "(ratio %.2f for 10 times the units)\n",
        units / 10, small.maxRssKb, units, large.maxRssKb,
        static_cast<double>(large.maxRssKb) / static_cast<double>(small.maxRssKb));
    if (!ok)
        std::printf("some backups failed (exit status not 0)\n");
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
