// SPDX-License-Identifier: Apache-2.0
// Mibbet under load against the bare loop, in a network namespace of its
// own (Mibbet always binds port 1283 on all addresses): a 10,000-line data
// file, the key on its last line, one connection per request.
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/load/host_comparison.h"
#include "tests/support/process.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint16_t kBarePort = 1284;

}  // namespace

int main(int argc, char** argv) {
    std::size_t requests;
    int rounds, lines, status;
    if (!load::parseLoadArguments(argc, argv, "mibbet_load", requests, rounds, lines, status)) {
        return status;
    }
    std::string why;
    if (!support::enterOwnNetworkNamespace(why)) {
        std::fprintf(stderr, "mibbet_load: needs a network namespace of its own: %s\n",
                     why.c_str());
        return 1;
    }
    std::string dir = support::makeTempDir("mibbet-load");
    load::DataFileKey last = load::writeDataFile(dir + "/mibbetdata.dat", lines, 4000000);
    std::size_t dataBytes = std::filesystem::file_size(dir + "/mibbetdata.dat");

    load::LoadOptions options = load::scanOf(last);

    support::Background mibbet({MIBBET_BIN}, dir);
    if (!support::waitForPort("127.0.0.1", 1283, 5s)) {
        std::fprintf(stderr, "mibbet_load: Mibbet did not start\n");
        return 1;
    }
    // The bare loop runs in a process of its own, as Mibbet does, so both
    // pay the same for switching between client and server.
    load::BareServerProcess bare("127.0.0.1", kBarePort, *options.expectedAnswer);
    if (!bare.started()) {
        std::fprintf(stderr, "mibbet_load: bare loop did not start\n");
        return 1;
    }
    std::printf("data file: %d lines, key on the last line; %zu requests per round\n", lines,
                requests);
    std::size_t failures =
        load::runHostComparisons(options, {"Mibbet", 1283, mibbet.pid()},
                                 {"bare loop", kBarePort, bare.pid()}, requests, rounds, dataBytes,
                                 last.key);
    std::filesystem::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
