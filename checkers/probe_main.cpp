// SPDX-License-Identifier: Apache-2.0
// probe IPAddress
#include <cstdio>
#include <string>
#include <vector>

#include "checkers/arguments.h"
#include "checkers/probe.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    checkers::Arguments parsed = checkers::parseArguments(args, false);
    if (parsed.showUsage) {
        std::fprintf(stderr, "\nprobe IPAddress\n");
        std::fflush(stderr);
        return 0;
    }
    checkers::ProbeSettings settings;
    settings.address = parsed.address;
    return checkers::runProbe(settings, stdout);
}
