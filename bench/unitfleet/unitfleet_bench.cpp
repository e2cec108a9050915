// SPDX-License-Identifier: Apache-2.0
// unitfleet backup of many simulated units (one unitsim process serving them
// all on 127.17.100.1 upwards): -j 64 against -j 1 and against 64 Tarnix
// processes at once (xargs -P 64), taking turns over a few rounds so that
// other work on the machine slows all alike; the peak memory of unitfleet for
// a tenth of the units against all of them; and discover over a /22 with 100
// units in it, against twice its time-out. Beside them the same queries from
// threads of one process, the most any client reaches against these units.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"
#include "protocol/client_session.h"
#include "tests/support/process.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr platform::Ipv4 kFirst = 0x7F116401;  // 127.17.100.1
// 127.17.136.0/22 for discover, with its 100 units from 127.17.137.1.
constexpr platform::Ipv4 kDiscoverBlock = 0x7F118800;
constexpr platform::Ipv4 kDiscoverFirst = 0x7F118901;
constexpr double kDiscoverTimeout = 2;

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
            platform::dotted(kFirst + static_cast<platform::Ipv4>(i)) + " unit-" + std::to_string(i) + "\n";
    support::writeFile(path, text);
    return path;
}

Measured backup(const std::string& dir, const std::string& inventory, int jobs, int round) {
    std::string out = dir + "/out-" + std::to_string(jobs) + "-" + std::to_string(round);
    Measured m = runFleet({UNITFLEET_BIN, "backup", inventory, out, "-j", std::to_string(jobs)});
    std::filesystem::remove_all(out);
    return m;
}

// The same listings the way a script would get them: one Tarnix process per
// unit, 64 at a time, each listing in a file of its own.
Measured xargsTarnix(const std::string& dir, const std::string& addresses, int round) {
    std::string out = dir + "/xargs-" + std::to_string(round);
    std::filesystem::create_directory(out);
    std::string script = "xargs -P 64 -I{} sh -c 'exec \"$0\" {} > \"$1\"/{}.ini' " TARNIX_BIN
                         " '" +
                         out + "' < '" + addresses + "'";
    Measured m = runFleet({"/bin/sh", "-c", script});
    std::filesystem::remove_all(out);
    return m;
}

// discover over the /22: wall time and the units it listed.
void discoverBlock(const std::string& dir, bool& ok) {
    std::string range = platform::dotted(kDiscoverFirst) + "-" + platform::dotted(kDiscoverFirst + 99);
    support::Background sim({UNITSIM_BIN, "--address", range});
    if (!sim.waitForOutput("units listening", 60s)) {
        std::printf("discover: unitsim did not start\n");
        ok = false;
        return;
    }
    std::string output = dir + "/found.txt";
    char timeout[16];
    std::snprintf(timeout, sizeof timeout, "%g", kDiscoverTimeout);
    Measured m = runFleet({UNITFLEET_BIN, "discover", platform::dotted(kDiscoverBlock) + "/22", "-j",
                           "64", "--timeout", timeout, "-o", output});
    std::string found = support::readFile(output);
    long units = std::count(found.begin(), found.end(), '\n') - 1;  // less the heading
    ok = ok && m.status == 0 && units == 100;
    std::printf(
        "discover of a /22 (1024 addresses, 100 units): %.2f s, %ld units listed; "
        "%.2f of twice the time-out (%g s)\n",
        m.seconds, units, m.seconds / (2 * kDiscoverTimeout), 2 * kDiscoverTimeout);
}

// The same queries a backup asks of each unit, from 64 threads in this
// process: no process to start, no listing to build, no file to write. What
// any client could reach against these units on this machine, so that
// unitfleet's figure can be read against it.
double bareClients(int units, int jobs, bool& ok) {
    static const char* const kQueries[] = {"ForceResponse=TRUE", "ForceError=TRUE",
                                           "ForceHelpText=FALSE", "", "*"};
    std::atomic<int> next{0}, failed{0};
    auto start = Clock::now();
    {
        std::vector<std::jthread> threads;
        for (int j = 0; j < jobs; ++j) {
            threads.emplace_back([&] {
                protocol::ClientSession session;
                for (int i = next++; i < units; i = next++) {
                    session.setDeadline(protocol::ClientSession::Clock::time_point::max());
                    bool good = session.connect(platform::dotted(kFirst + static_cast<platform::Ipv4>(i)),
                                                10s) == protocol::ClientSession::Status::Ok;
                    for (const char* query : kQueries)
                        good = good && session.query(query) == protocol::ClientSession::Status::Ok;
                    session.close();
                    failed += good ? 0 : 1;
                }
            });
        }
    }
    ok = ok && failed == 0;
    return std::chrono::duration<double>(Clock::now() - start).count();
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
    if (units < 10 || units > 10000 || rounds < 1 || rounds > 20 || delayMs < 0 || delayMs > 1000) {
        std::fprintf(stderr,
                     "usage: unitfleet_bench [UNITS 10-10000, default 1000] "
                     "[ROUNDS 1-20, default 3] [REPLY-DELAY-MS 0-1000, default 0]\n");
        return 2;
    }
    // The listings go to memory where there is a tmpfs, so that the figures
    // are unitfleet's and the units', not this disk's: on a disk, creating
    // thousands of files right after thousands were removed costs each file
    // a search for a free inode. One run onto the disk is shown beside them.
    std::string diskDir = support::makeTempDir("unitfleet-bench-disk");
    if (std::getenv("TMPDIR") == nullptr && std::filesystem::is_directory("/dev/shm"))
        ::setenv("TMPDIR", "/dev/shm", 1);
    std::string dir = support::makeTempDir("unitfleet-bench");
    std::string range = platform::dotted(kFirst) + "-" + platform::dotted(kFirst + units - 1);
    support::Background sim({UNITSIM_BIN, "--address", range, "--delay", std::to_string(delayMs)});
    if (!sim.waitForOutput("units listening", 60s)) {
        std::fprintf(stderr, "unitfleet_bench: unitsim did not start: %s\n",
                     sim.stop().err.c_str());
        return 1;
    }
    std::string all = writeInventory(dir, "all.txt", units);
    std::string tenth = writeInventory(dir, "tenth.txt", units / 10);
    std::string addresses = dir + "/addresses.txt";
    std::string list;
    for (int i = 0; i < units; ++i) list += platform::dotted(kFirst + static_cast<platform::Ipv4>(i)) + "\n";
    support::writeFile(addresses, list);
    std::printf(
        "unitfleet backup of %d simulated units served by one unitsim process, "
        "replies delayed by %d ms; listings written under %s\n",
        units, delayMs, dir.c_str());

    std::vector<double> serial, parallel, ratios, xargsRatios;
    bool ok = true;
    for (int round = 1; round <= rounds; ++round) {
        Measured one = backup(dir, all, 1, round);
        Measured many = backup(dir, all, 64, round);
        Measured scripted = xargsTarnix(dir, addresses, round);
        ok = ok && one.status == 0 && many.status == 0 && scripted.status == 0;
        serial.push_back(one.seconds);
        parallel.push_back(many.seconds);
        ratios.push_back(one.seconds / many.seconds);
        xargsRatios.push_back(scripted.seconds / many.seconds);
        std::printf(
            "round %d: -j 1 %.2f s (%.0f units/s), -j 64 %.2f s (%.0f units/s), "
            "xargs -P 64 Tarnix %.2f s; -j 64 is %.1f times -j 1 and %.1f times xargs\n",
            round, one.seconds, units / one.seconds, many.seconds, units / many.seconds,
            scripted.seconds, one.seconds / many.seconds, scripted.seconds / many.seconds);
    }
    std::printf(
        "median: -j 64 is %.1f times as fast as -j 1 (goal %.1f, 0.9 x 64) and %.1f times as "
        "fast as xargs -P 64 Tarnix (goal 5); %.0f units/s against %.0f\n",
        median(ratios), 0.9 * 64, median(xargsRatios), units / median(parallel),
        units / median(serial));

    double bare = bareClients(units, 64, ok);
    std::printf(
        "the same queries from 64 threads of one process, nothing written: %.2f s, %.1f times "
        "-j 1; unitfleet -j 64 takes %.2f times as long\n",
        bare, median(serial) / bare, median(parallel) / bare);

    Measured onDisk = backup(diskDir, all, 64, 0);
    ok = ok && onDisk.status == 0;
    std::printf("-j 64 once more with the listings on the disk (%s): %.2f s, %.1f times -j 1\n",
                diskDir.c_str(), onDisk.seconds, median(serial) / onDisk.seconds);
    std::filesystem::remove_all(diskDir);

    Measured small = backup(dir, tenth, 64, 0);
    Measured large = backup(dir, all, 64, 0);
    ok = ok && small.status == 0 && large.status == 0;
    std::printf(
        "peak memory of unitfleet -j 64: %d units %ld KiB, %d units %ld KiB "
        "(ratio %.2f for 10 times the units)\n",
        units / 10, small.maxRssKb, units, large.maxRssKb,
        static_cast<double>(large.maxRssKb) / static_cast<double>(small.maxRssKb));
    discoverBlock(dir, ok);
    if (!ok)
        std::printf("some runs failed (exit status not 0, or units missing)\n");
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
