// SPDX-License-Identifier: Apache-2.0
// Where Tarnix writes: its report and traces go to `out`, its usage text and
// most failures to `err`. Tests pass files of their own instead of the
// process's streams.
#pragma once

#include <cstdio>

namespace tarnix {

struct Console {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

// printf to `stream`, flushed at once so that the order on the terminal
// matches the order of events even when the program ends abruptly.
[[gnu::format(printf, 2, 3)]] void say(std::FILE* stream, const char* format, ...);

}  // namespace tarnix
