// SPDX-License-Identifier: Apache-2.0
// The `unitsim` command line: serving a unit until a signal, and the host-side
// subcommands. main.cpp only hands its arguments here.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace unitsim {

// Runs the program with `args` (without the program name); returns the exit
// status: 0 done, 1 failure (port not bound, host not reached), 2 bad usage.
int runCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace unitsim
