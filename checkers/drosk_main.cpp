// SPDX-License-Identifier: Apache-2.0
// Drosk [-Ds] IPAddress
#include <cstdio>
#include <string>
#include <vector>

#include "checkers/arguments.h"
#include "checkers/drosk.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    checkers::Arguments parsed = checkers::parseArguments(args, true);
    for (int delay : parsed.announcedDelays) std::printf("Delay in seconds: %d\n", delay);
    std::fflush(stdout);
    if (parsed.showUsage) {
        std::fprintf(stderr, "\nDrosk [-Ds] IPAddress\n");
        std::fprintf(stderr, "  -D delay s seconds between checks\n");
        std::fflush(stderr);
        return 0;
    }
    checkers::DroskSettings settings;
    settings.address = parsed.address;
    settings.delaySeconds = parsed.delaySeconds;
    return checkers::runDrosk(settings, stdout);
}
