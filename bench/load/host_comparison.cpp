#include "bench/load/host_comparison.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace load {

namespace {

constexpr std::size_t kBatch = 250;

void add(LoadResult& total, const LoadResult& part) {
    total.completed += part.completed;
    total.failed += part.failed;
    total.seconds += part.seconds;
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

}  // namespace

DataFileKey writeDataFile(const std::string& path, int lines, int firstKey) {
    std::string content;
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

std::size_t compareWithBareLoop(LoadOptions options, const Contender& server,
                                const Contender& bare, std::size_t requests, int rounds) {
    std::vector<double> serverRates, bareRates, ratios, cpuRatios;
    std::size_t failures = 0;
    for (int round = 1; round <= rounds; ++round) {
        LoadResult s, b;
        double sCpu = cpuNanos(server.pid), bCpu = cpuNanos(bare.pid);
        for (std::size_t done = 0; done < requests; done += kBatch) {
            options.requests = std::min(kBatch, requests - done);
            options.port = server.port;
            add(s, runLoad(options));
            options.port = bare.port;
            add(b, runLoad(options));
        }
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
    std::printf("median: %s %.0f requests/s, %s %.0f requests/s, ratio %.2f (target >= 0.80)\n",
                server.name, median(serverRates), bare.name, median(bareRates), median(ratios));
    std::printf("median CPU-bound ratio (%s's CPU per request / %s's): %.2f\n", bare.name,
                server.name, median(cpuRatios));
    std::fflush(stdout);
    return failures;
}

bool parseLoadArguments(int argc, char** argv, const char* program, std::size_t& requests,
                        int& rounds, int& exitStatus) {
    bool help = argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
    requests = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
    rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (!help && requests > 0 && requests <= 200000 && rounds >= 1 && rounds <= 9) return true;
    std::fprintf(help ? stdout : stderr,
                 "usage: %s [REQUESTS (10000)] [ROUNDS (3)]\n"
                 "  Asks for the key on the last line of a 10,000-line data file, in turns\n"
                 "  with a bare accept/receive/send/close loop; prints both rates and their\n"
                 "  ratio, and the server CPU per request.\n",
                 program);
    exitStatus = help ? 0 : 2;
    return false;
}

}  // namespace load
