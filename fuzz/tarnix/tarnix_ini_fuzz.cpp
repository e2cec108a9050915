// SPDX-License-Identifier: Apache-2.0
// Any "Tarnix.ini": the target entry, the values applied to a small mode
// table, and the set lines planned from them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tarnix/ini.h"

namespace {

constexpr std::string_view kDefinitions =
    "UnitID = STRING,16\r\nPOSTimeout = INTEGER\r\nTextReset = BOOLEAN\r\n"
    "ServerType = STRING,8\r\nDateTime = STRING,20\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    // The file is read as text up to its first zero byte.
    text = text.substr(0, text.find('\0'));
    volatile std::size_t sink = 0;
    if (auto target = tarnix::findTargetIp(text))
        sink = sink + target->size();
    protocol::ModeTable table;
    table.parseDefinitions(kDefinitions);
    if (auto tooLong = tarnix::applyIniValues(table, text))
        sink = sink + tooLong->size();
    tarnix::SetPlan plan = tarnix::planSets(table);
    sink = sink + plan.lines.size() + (plan.textReset ? 1 : 0) + (plan.serverType ? 1 : 0);
    (void)sink;
    return 0;
}
