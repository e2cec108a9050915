// SPDX-License-Identifier: Apache-2.0
// What the benchmarks that drive unitsim share: a fleet of simulated units
// and its inventory, a program's wall time, and a process's resident memory.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "tests/support/process.h"

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

// One unitsim serving `count` units from `first`, with `options`, once it
// listens; null (and why on stderr, under `bench`'s name) when it does not.
std::unique_ptr<support::Background> startUnits(const std::string& bench,
                                                const std::string& unitsim,
                                                platform::Ipv4 first, int count,
                                                const std::vector<std::string>& options);

// An inventory of `count` units from `first`, named u0, u1, ...
std::string inventoryOf(platform::Ipv4 first, int count);

// A number field of a flat JSON report ("name": 1.5); -1 when missing.
double jsonNumber(const std::string& json, const std::string& name);

}  // namespace unitsim_bench
