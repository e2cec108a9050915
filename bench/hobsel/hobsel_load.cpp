// SPDX-License-Identifier: Apache-2.0
// Hobsel (verbosity 0, trivial answers) under load against the bare loop:
// a 10,000-line data file with the scanned key on its last line, one
// connection per request.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/load/host_comparison.h"
#include "tests/support/process.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint16_t kHobselPort = 21900;
constexpr std::uint16_t kBarePort = 21901;

}  // namespace

int main(int argc, char** argv) {
    std::size_t requests;
    int rounds, lines, status;
    if (!load::parseLoadArguments(argc, argv, "hobsel_load", requests, rounds, lines, status)) {
        return status;
    }
    std::string dir = support::makeTempDir("hobsel-load");
    // A 4 MiB file for the hostile peers to ask for and not read.
    std::ofstream(dir + "/big.bin", std::ios::binary) << std::string(4 << 20, 'x');
    load::DataFileKey last =
        load::writeDataFile(dir + "/data.dat", lines, 5000000, "BIG\t@big.bin\n");
    std::size_t dataBytes = std::filesystem::file_size(dir + "/data.dat");

    load::LoadOptions options = load::scanOf(last);

    support::Background hobsel({HOBSEL_BIN, std::to_string(kHobselPort)}, dir);
    if (!support::waitForPort("127.0.0.1", kHobselPort, 5s)) {
        std::fprintf(stderr, "hobsel_load: Hobsel did not start\n");
        return 1;
    }
    load::BareServerProcess bare("127.0.0.1", kBarePort, *options.expectedAnswer);
    if (!bare.started()) {
        std::fprintf(stderr, "hobsel_load: bare loop did not start\n");
        return 1;
    }
    std::printf("data file: %d lines, key on the last line; %zu requests per round\n", lines,
                requests);
    std::size_t failures =
        load::runHostComparisons(options, {"Hobsel", kHobselPort, hobsel.pid()},
                                 {"bare loop", kBarePort, bare.pid()}, requests, rounds, dataBytes,
                                 "BIG\r\n");
    std::filesystem::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
