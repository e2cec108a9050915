// SPDX-License-Identifier: Apache-2.0
// `--help` for the window programs: checked before the window toolkit starts,
// so it works without a display.
#pragma once

#include <cstdio>
#include <cstring>

namespace frontends {

// Prints `usage` and returns true when the command line asks for help.
inline bool printHelpIfAsked(int argc, char** argv, const char* usage) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return true;
        }
    }
    return false;
}

}  // namespace frontends
