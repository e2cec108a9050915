// SPDX-License-Identifier: Apache-2.0
#include "tarnix/console.h"

#include <cstdarg>

namespace tarnix {

void say(std::FILE* stream, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stream, format, args);
    va_end(args);
    std::fflush(stream);
}

}  // namespace tarnix
