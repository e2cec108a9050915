// SPDX-License-Identifier: Apache-2.0
// Tarnix: lists, gets and sets a unit's modes from the command line and an
// ini file.
#include <string_view>
#include <vector>

#include "tarnix/options.h"
#include "tarnix/run.h"

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    return tarnix::run(tarnix::parseArguments(args));
}
