// SPDX-License-Identifier: Apache-2.0
#include <io.h>

#include "platform/console.h"

namespace platform {

bool isTerminal(std::FILE* stream) {
    return ::_isatty(::_fileno(stream)) != 0;
}

// Windows has no such signal: a write to a closed pipe fails by itself.
void ignoreBrokenPipes() {}

std::tm localTimeNow() {
    return localTime(std::time(nullptr));
}

std::tm localTime(std::time_t when) {
    std::tm parts{};
    ::localtime_s(&parts, &when);
    return parts;
}

}  // namespace platform
