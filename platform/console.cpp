// SPDX-License-Identifier: Apache-2.0
#include "platform/console.h"

#include <unistd.h>

#include <csignal>

namespace platform {

bool isTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

void ignoreBrokenPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}

std::tm localTimeNow() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::localtime_r(&now, &parts);
    return parts;
}

}  // namespace platform
