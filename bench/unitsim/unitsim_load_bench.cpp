// SPDX-License-Identifier: Apache-2.0
// `unitsim load` against the bare accept/receive/send/close loop, Mibbet and
// Hobsel, in a network namespace of its own (Mibbet binds port 1283 on all
// addresses): 1,000 requests per second by the schedule, and their maximum
// (8 requests in flight, each answer starting the next), reply-time
// percentiles side by side. A 10,000-line data file, the key on its last line.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/load/host_comparison.h"
#include "bench/unitsim/bench_run.h"
#include "tests/support/process.h"

namespace {

using namespace std::chrono_literals;
using unitsim_bench::jsonNumber;

constexpr std::uint16_t kHobselPort = 21950;
constexpr std::uint16_t kBarePort = 21951;

struct Target {
    const char* name;
    std::uint16_t port;
};

void row(const Target& target, const char* mode, const std::string& json) {
    std::printf("  %-10s %-9s %10.0f %9.3f %9.3f %9.3f %9.3f %7.0f %6.0f\n", target.name, mode,
                jsonNumber(json, "answers_per_second"), jsonNumber(json, "p50"),
                jsonNumber(json, "p90"), jsonNumber(json, "p99"), jsonNumber(json, "max"),
                jsonNumber(json, "failed") + std::max(0.0, jsonNumber(json, "wrong")) +
                    jsonNumber(json, "malformed"),
                jsonNumber(json, "late"));
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 3;
    if (seconds < 1 || seconds > 60) {
        std::fprintf(stderr, "usage: unitsim_load_bench [SECONDS per run 1-60, default 3]\n");
        return 2;
    }
    std::string why;
    bool ownNet = support::enterOwnNetworkNamespace(why);
    if (!ownNet)
        std::printf("no network namespace of its own (%s): Mibbet left out\n", why.c_str());
    std::string dir = support::makeTempDir("unitsim-load-bench");
    load::DataFileKey key = load::writeDataFile(dir + "/data.dat", 10000, 6000000);
    std::filesystem::copy_file(dir + "/data.dat", dir + "/mibbetdata.dat");
    support::Background hobsel({HOBSEL_BIN, std::to_string(kHobselPort)}, dir);
    std::unique_ptr<support::Background> mibbet;
    if (ownNet)
        mibbet = std::make_unique<support::Background>(std::vector<std::string>{MIBBET_BIN}, dir);
    load::Bytes answer(key.response.begin(), key.response.end());
    answer.push_back(0);
    load::BareServerProcess bare("127.0.0.1", kBarePort, answer);
    std::vector<Target> targets{{"bare loop", kBarePort}};
    if (ownNet && support::waitForPort("127.0.0.1", 1283, 5s))
        targets.push_back({"Mibbet", 1283});
    if (support::waitForPort("127.0.0.1", kHobselPort, 5s))
        targets.push_back({"Hobsel", kHobselPort});
    if (!bare.started()) {
        std::fprintf(stderr, "unitsim_load_bench: the bare loop did not start\n");
        return 1;
    }
    std::printf(
        "unitsim load, %d s per run from 50 units, one connection per request; "
        "reply times in ms\n",
        seconds);
    std::printf("  %-10s %-9s %10s %9s %9s %9s %9s %7s %6s\n", "server", "pacing", "answers/s",
                "p50", "p90", "p99", "max", "bad", "late");
    bool ok = true;
    for (const char* mode : {"1000/s", "maximum"}) {
        for (const Target& target : targets) {
            std::vector<std::string> args{
                UNITSIM_BIN, "load",       "barcode",    key.key,
                "--expect",  key.response, "--port",     std::to_string(target.port),
                "--units",   "50",         "--duration", std::to_string(seconds),
                "--json"};
            if (std::string(mode) == "1000/s")
                args.insert(args.end(), {"--rate", "1000"});
            else
                args.insert(args.end(), {"--concurrency", "8"});
            unitsim_bench::Timed t = unitsim_bench::timedRun(args);
            ok = ok && t.status == 0;
            row(target, mode, t.out);
        }
    }
    std::printf(
        "  (bad: failed, malformed or wrong answers; late: sends over 2 ms after their time)\n");
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
