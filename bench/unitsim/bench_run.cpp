// SPDX-License-Identifier: Apache-2.0
#include "bench/unitsim/bench_run.h"

#include <chrono>
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

}  // namespace unitsim_bench
