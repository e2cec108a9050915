// SPDX-License-Identifier: Apache-2.0
#include "hobsel/context.h"

#include <cstdarg>
#include <thread>

#include "hobsel/data_file.h"
#include "hobsel/touch_demo.h"

namespace hobsel {

Context::Context()
    : sleep([](std::chrono::milliseconds wait) { std::this_thread::sleep_for(wait); }),
      clock([] { return std::time(nullptr); }),
      dataCache(std::make_unique<DataFileCache>()),
      demo(std::make_unique<TouchDemo>()) {}

Context::~Context() = default;

void Context::say(int level, const char* format, ...) {
    if (settings.verbosity < level)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(out, format, args);
    va_end(args);
    std::fflush(out);
}

void Context::write(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(out, format, args);
    va_end(args);
    std::fflush(out);
}

std::string Context::timeLine() const {
    std::time_t now = clock();
    const char* text = std::ctime(&now);
    return text != nullptr ? text : "\n";
}

}  // namespace hobsel
