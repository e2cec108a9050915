// SPDX-License-Identifier: Apache-2.0
// The touch demo's script loader on arbitrary text, then a few touches,
// swipes and scans through the demo. No unit is ever reached: the touches
// come from address 0, which names no unit.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "hobsel/context.h"
#include "hobsel/seams.h"
#include "hobsel/touch_demo.h"
#include "hobsel/touch_table.h"

namespace {

std::string scriptPath() {
    static const std::string path = "/tmp/hobsel_touch_fuzz." + std::to_string(::getpid());
    return path;
}

void check(const hobsel::TouchTable& table) {
    std::size_t pool = 0;
    for (const hobsel::TouchState& state : table.states) {
        pool += state.name.size() + 1;
        for (const hobsel::TouchEntry& e : state.entries) {
            pool += hobsel::kTouchEntryCost + e.name.size() + 1;
            if (e.value)
                pool += e.value->size() + 1;
            if (e.name.size() > hobsel::kMostTouchLine ||
                e.name.find_first_of("\r\n") != std::string::npos)
                __builtin_trap();
        }
    }
    if (table.states.size() > hobsel::kMostTouchStates || pool > hobsel::kTouchPoolSize)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    check(hobsel::parseTouchTable(text));

    std::FILE* file = std::fopen(scriptPath().c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);

    static std::FILE* sink = std::fopen("/dev/null", "w");
    hobsel::Context c;
    c.out = sink;
    c.settings.verbosity = 3;
    c.settings.touchDemo = true;
    c.demo->scriptPath = scriptPath();
    std::time_t now = 1000;
    c.clock = [&now] { return now; };
    c.sleep = [](std::chrono::milliseconds) {};
    for (std::size_t i = 0; i < 6; ++i) {
        std::uint8_t b = size > i ? data[i] : 0;
        now += 2;
        if (b & 0x80) {
            hobsel::touchDemoSwipeOrScan(c, (b & 0x40) ? "%card" : "scan");
        } else {
            hobsel::touchDemoTouch(c, 0, b & 0x07, (b >> 3) & 0x07);
        }
        if (c.unitConnection)
            __builtin_trap();  // address 0 is never connected to
    }
    return 0;
}
