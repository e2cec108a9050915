// SPDX-License-Identifier: Apache-2.0
#include "bench/unitsim/bench_run.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "tests/support/process.h"

namespace unitsim_bench {

Timed timedRun(const std::vector<std::string>& argv, const std::string& dir) {
    auto start = std::chrono::steady_clock::now();
    support::RunResult r = support::run(argv, {{}, dir, std::chrono::minutes(10)});
    Timed t;
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.status = r.status;
    t.out = std::move(r.out);
    return t;
}

long residentKiB(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

double jsonNumber(const std::string& json, const std::string& name) {
    std::size_t at = json.find("\"" + name + "\":");
    if (at == std::string::npos)
        return -1;
    return std::atof(json.c_str() + at + name.size() + 3);  // atof skips the blanks
}

std::unique_ptr<support::Background> startUnits(const std::string& bench,
                                                const std::string& unitsim,
                                                platform::Ipv4 first, int count,
                                                const std::vector<std::string>& options) {
    std::vector<std::string> argv = {
        unitsim, "--address",
        platform::dotted(first) + "-" + platform::dotted(first + static_cast<platform::Ipv4>(count) - 1)};
    argv.insert(argv.end(), options.begin(), options.end());
    auto sim = std::make_unique<support::Background>(argv);
    if (sim->waitForOutput("listening", std::chrono::seconds(120)))
        return sim;
    std::fprintf(stderr, "%s: unitsim did not start: %s\n", bench.c_str(), sim->stop().err.c_str());
    return nullptr;
}

std::string inventoryOf(platform::Ipv4 first, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += platform::dotted(first + static_cast<platform::Ipv4>(i)) + " u" + std::to_string(i) + "\n";
    return text;
}

}  // namespace unitsim_bench
