// SPDX-License-Identifier: Apache-2.0
#include "bench/load/host_comparison.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/socket.h"
#include "tests/support/hostile_peer.h"

namespace load {

namespace {

constexpr std::size_t kBatch = 250;

void add(LoadResult& total, const LoadResult& part) {
    total.completed += part.completed;
    total.failed += part.failed;
    total.seconds += part.seconds;
    total.latencies.insert(total.latencies.end(), part.latencies.begin(), part.latencies.end());
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    return text;
}

// CPU time a process has run, in nanoseconds, summed over its threads (the
// scheduler's own count, so it holds however busy the machine is).
double cpuNanos(pid_t pid) {
    std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    double total = 0;
    DIR* dir = opendir(tasks.c_str());
    if (dir == nullptr) return 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::string stat = readAll(tasks + "/" + entry->d_name + "/schedstat");
        if (!stat.empty()) total += std::strtod(stat.c_str(), nullptr);
    }
    closedir(dir);
    return total;
}

// `requests` against each, in turns of small batches.
void inTurns(LoadOptions options, const Contender& server, const Contender& bare,
             std::size_t requests, LoadResult& s, LoadResult& b) {
    for (std::size_t done = 0; done < requests; done += kBatch) {
        options.requests = std::min(kBatch, requests - done);
        options.port = server.port;
        add(s, runLoad(options));
        options.port = bare.port;
        add(b, runLoad(options));
    }
}

}  // namespace

DataFileKey writeDataFile(const std::string& path, int lines, int firstKey,
                          const std::string& firstLines) {
    std::string content = firstLines;
    char line[128];
    DataFileKey last;
    for (int i = 0; i < lines; ++i) {
        std::snprintf(line, sizeof line, "%013d", firstKey + i);
        last.key = line;
        std::snprintf(line, sizeof line, "Product %d, price %d.%02d", i, i % 97, i % 100);
        last.response = line;
        content += last.key + "\t" + last.response + "\n";
    }
    std::ofstream(path, std::ios::binary) << content;
    timespec times[2];
    clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= 3600;
    times[1] = times[0];
    utimensat(AT_FDCWD, path.c_str(), times, 0);
    return last;
}

LoadOptions scanOf(const DataFileKey& key) {
    LoadOptions options;
    options.host = "127.0.0.1";
    options.request.assign(key.key.begin(), key.key.end());
    options.request.push_back(0);
    Bytes answer(key.response.begin(), key.response.end());
    answer.push_back(0);
    options.expectedAnswer = answer;
    return options;
}

std::size_t compareWithBareLoop(LoadOptions options, const Contender& server, const Contender& bare,
                                std::size_t requests, int rounds, double target) {
    std::vector<double> serverRates, bareRates, ratios, cpuRatios;
    std::size_t failures = 0;
    for (int round = 1; round <= rounds; ++round) {
        LoadResult s, b;
        double sCpu = cpuNanos(server.pid), bCpu = cpuNanos(bare.pid);
        inTurns(options, server, bare, requests, s, b);
        failures += s.failed + b.failed;
        double perRequest = 1000.0 * static_cast<double>(requests);
        sCpu = (cpuNanos(server.pid) - sCpu) / perRequest;
        bCpu = (cpuNanos(bare.pid) - bCpu) / perRequest;
        double ratio = b.perSecond() > 0 ? s.perSecond() / b.perSecond() : 0.0;
        std::printf("round %d: %s %.0f/s (%zu failed), %s %.0f/s (%zu failed), ratio %.2f; "
                    "server CPU per request %.1f us and %.1f us\n",
                    round, server.name, s.perSecond(), s.failed, bare.name, b.perSecond(),
                    b.failed, ratio, sCpu, bCpu);
        serverRates.push_back(s.perSecond());
        bareRates.push_back(b.perSecond());
        ratios.push_back(ratio);
        cpuRatios.push_back(sCpu > 0 ? bCpu / sCpu : 0.0);
    }
    std::printf("median: %s %.0f requests/s, %s %.0f requests/s, ratio %.2f (target >= %.2f)\n",
                server.name, median(serverRates), bare.name, median(bareRates), median(ratios),
                target);
    std::printf("median CPU-bound ratio (%s's CPU per request / %s's): %.2f\n", bare.name,
                server.name, median(cpuRatios));
    std::fflush(stdout);
    return failures;
}

namespace {

// Connections that connect and send nothing, held open during a run.
std::vector<platform::Socket> idleConnections(std::uint16_t port, int count) {
    std::vector<platform::Socket> idle;
    for (int i = 0; i < count; ++i) {
        platform::Socket s = platform::createTcpSocket();
        if (platform::connectBlocking(s, *platform::lookupHost("127.0.0.1"), port))
            idle.push_back(std::move(s));
    }
    return idle;
}

// Median latency of a valid client against the server while `idle`
// connections are held open on it, and against the bare loop (which holds
// none: it would wait on the first for ever).
std::size_t compareIdleLatency(LoadOptions options, const Contender& server, const Contender& bare,
                               std::size_t requests, int rounds, int idle) {
    std::vector<double> ratios;
    std::size_t failures = 0;
    options.clients = 1;
    for (int round = 1; round <= rounds; ++round) {
        LoadResult s, b;
        std::vector<platform::Socket> held = idleConnections(server.port, idle);
        inTurns(options, server, bare, requests, s, b);
        failures += s.failed + b.failed;
        double ratio = b.medianLatency() > 0 ? s.medianLatency() / b.medianLatency() : 0;
        std::printf(
            "round %d: median latency %s %.1f us with %zu idle connections held, %s "
            "%.1f us, ratio %.2f\n",
            round, server.name, s.medianLatency() * 1e6, held.size(), bare.name,
            b.medianLatency() * 1e6, ratio);
        ratios.push_back(ratio);
    }
    std::printf("median latency ratio with %d idle connections held: %.2f (target <= 2.00)\n", idle,
                median(ratios));
    std::fflush(stdout);
    return failures;
}

double slowest(const LoadResult& r) {
    return r.latencies.empty() ? 0 : *std::max_element(r.latencies.begin(), r.latencies.end());
}

// A valid client's latency while one hostile peer of each kind works on the
// server (the bare loop, which would be stopped for good by the first of
// them, runs without one), and its rate against the bare loop's.
std::size_t compareUnderAttack(LoadOptions options, const Contender& server,
                               const Contender& bare, std::size_t requests,
                               const std::string& largeRequest) {
    struct Kind {
        const char* name;
        support::HostileKind kind;
    };
    const Kind kinds[] = {{"never reads its answer", support::HostileKind::NeverReads},
                          {"reads slowly in 1460-byte segments", support::HostileKind::ReadsSlowly},
                          {"floods connections from one address", support::HostileKind::Floods}};
    std::size_t failures = 0;
    options.clients = 1;
    options.timeout = std::chrono::milliseconds(15000);
    for (const Kind& k : kinds) {
        support::HostileOptions hostile;
        hostile.kind = k.kind;
        hostile.port = server.port;
        hostile.from = "127.0.0.200";
        hostile.request = largeRequest;
        support::HostilePeer peer(hostile);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        LoadResult s, b;
        inTurns(options, server, bare, requests, s, b);
        peer.stop();
        failures += s.failed + b.failed;
        double ratio = b.perSecond() > 0 ? s.perSecond() / b.perSecond() : 0;
        std::printf("hostile peer that %s: %s median %.1f us, slowest %.0f ms, %.0f/s (%zu "
                    "failed); bare loop median %.1f us, %.0f/s; rate ratio %.2f\n",
                    k.name, server.name, s.medianLatency() * 1e6, slowest(s) * 1e3,
                    s.perSecond(), s.failed, b.medianLatency() * 1e6, b.perSecond(), ratio);
    }
    std::fflush(stdout);
    return failures;
}

long residentKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

}  // namespace

std::size_t runHostComparisons(const LoadOptions& options, const Contender& server,
                               const Contender& bare, std::size_t requests, int rounds,
                               std::size_t dataFileBytes, const std::string& largeRequest) {
    long before = residentKiB(server.pid);
    std::printf("\n== one client, from the server's start\n");
    std::size_t failures = compareWithBareLoop(options, server, bare, requests, rounds, 0.9);
    long after = residentKiB(server.pid);
    // Steady state: both servers read a data file modified in the last two
    // seconds again on every request (an edit must be seen at once), and the
    // first request of all parses the file. Let the freshly written file age
    // past that, and give both a round to load it, before measuring again.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    LoadResult warmServer, warmBare;
    inTurns(options, server, bare, std::min<std::size_t>(requests, 500), warmServer, warmBare);
    std::printf("\n== steady state, one client, once the data file is loaded\n");
    failures += compareWithBareLoop(options, server, bare, requests, rounds, 0.9);
    double fileMiB = static_cast<double>(dataFileBytes) / (1 << 20);
    std::printf(
        "%s memory: %.1f MiB resident (%.1f MiB before the first request) for a %.1f MiB "
        "data file: %.2f times the file (target <= 2)\n",
        server.name, after / 1024.0, before / 1024.0, fileMiB,
        fileMiB > 0 ? (after - before) / 1024.0 / fileMiB : 0.0);
    for (std::size_t clients : {4, 16}) {
        std::printf("\n== %zu concurrent clients\n", clients);
        LoadOptions concurrent = options;
        concurrent.clients = clients;
        failures += compareWithBareLoop(concurrent, server, bare, requests, rounds, 0.8);
    }
    std::printf("\n== one client, 20 idle connections held on %s\n", server.name);
    failures += compareIdleLatency(options, server, bare, requests, rounds, 20);
    std::printf("\n== valid unit's latency while one hostile peer of each kind runs on %s\n",
                server.name);
    failures += compareUnderAttack(options, server, bare, std::min<std::size_t>(requests, 2000),
                                   largeRequest);
    return failures;
}

bool parseLoadArguments(int argc, char** argv, const char* program, std::size_t& requests,
                        int& rounds, int& lines, int& exitStatus) {
    bool help = argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
    requests = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
    rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    lines = argc > 3 ? std::atoi(argv[3]) : 10000;
    if (!help && requests > 0 && requests <= 200000 && rounds >= 1 && rounds <= 9 && lines >= 1 &&
        lines <= 10000000) {
        return true;
    }
    std::fprintf(help ? stdout : stderr,
                 "usage: %s [REQUESTS (10000)] [ROUNDS (3)] [LINES (10000)]\n"
                 "  Asks for the key on the last line of a data file of LINES lines, in turns\n"
                 "  with a bare accept/receive/send/close loop: one client, then 4 and 16 at\n"
                 "  once, then one client while 20 idle connections are held on the server,\n"
                 "  then one client while a hostile peer of each kind runs on it.\n"
                 "  Prints both rates and their ratio, the server CPU per request, the\n"
                 "  latency ratio and the server's memory against the data file's size.\n",
                 program);
    exitStatus = help ? 0 : 2;
    return false;
}

}  // namespace load
