// SPDX-License-Identifier: Apache-2.0
// uxOpen against a simulated unit with 1k and 10k modes (time per mode), and
// a set-mode round trip with the allocations it makes per frame.
//
// The frame buffer holds 102400 bytes, so a 10k-mode table fits only with
// short lines: names of three characters, a one-letter type and value, no
// help (9 bytes a line). Both sizes use the same shape, so the per-mode
// figures compare.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "lumetra/lumetra.h"
#include "tests/lumetra/allocation_counter.h"
#include "unitsim/unit.h"

namespace {

std::string shortName(int i) {
    const char* digits = "0123456789abcdefghijklmnopqrstuvwxyz";
    return {digits[10 + i / 1296 % 26], digits[i / 36 % 36], digits[i % 36]};
}

std::vector<unitsim::ModeDef> compactModes(int count) {
    std::vector<unitsim::ModeDef> modes;
    for (int i = 0; i < count; ++i) modes.push_back({shortName(i), "B", 0, "", "0", false});
    return modes;
}

// One simulated unit per table size, started at first use and kept for the
// run; returns its address.
std::string addressFor(int modes) {
    static std::map<int, std::unique_ptr<unitsim::Unit>> units;
    static std::map<int, std::string> addresses;
    if (!units[modes]) {
        unitsim::Options options;
        options.address = "127.0.1." + std::to_string(200 + addresses.size());
        options.modes = compactModes(modes);
        auto unit = std::make_unique<unitsim::Unit>(options);
        std::string error;
        if (!unit->start(error))
            throw std::runtime_error(error);
        units[modes] = std::move(unit);
        addresses[modes] = options.address;
    }
    return addresses[modes];
}

void BM_uxOpen(benchmark::State& state) {
    int modes = static_cast<int>(state.range(0));
    std::string address = addressFor(modes);
    for (auto _ : state) {
        if (uxOpen(address.c_str()) != modes)
            state.SkipWithError("uxOpen did not read the table");
        uxClose();
    }
    state.counters["modes"] = modes;
    state.counters["per_mode"] = benchmark::Counter(
        modes, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_uxOpen)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SetModeRoundTrip(benchmark::State& state) {
    std::string address = addressFor(1000);
    if (uxOpen(address.c_str()) != 1000)
        state.SkipWithError("uxOpen did not read the table");
    std::size_t allocations = 0;
    for (auto _ : state) {
        lumetra_test::AllocationCounter counter;
        benchmark::DoNotOptimize(uxSetMode("a00", "1"));
        allocations += counter.count();
    }
    uxClose();
    state.counters["allocs_per_frame"] = benchmark::Counter(static_cast<double>(allocations) / 2,
                                                            benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SetModeRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
