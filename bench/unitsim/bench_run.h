// SPDX-License-Identifier: Apache-2.0
// What both unitsim benchmarks need: a program's wall time, and a process's
// resident memory.
#pragma once

#include <string>
#include <vector>

namespace unitsim_bench {

struct Timed {
    int status = -1;
    double seconds = 0;
    std::string out;
};

// Runs `argv` to its end; standard output kept, standard error dropped.
Timed timedRun(const std::vector<std::string>& argv, const std::string& dir = {});

// VmRSS of a running process in KiB; 0 when it cannot be read.
long residentKiB(int pid);

// A number field of a flat JSON report ("name": 1.5); -1 when missing.
double jsonNumber(const std::string& json, const std::string& name);

}  // namespace unitsim_bench
