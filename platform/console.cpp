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
    return localTime(std::time(nullptr));
}

std::tm localTime(std::time_t when) {
    std::tm parts{};
    ::localtime_r(&when, &parts);
    return parts;
}

}  // namespace platform
