// SPDX-License-Identifier: Apache-2.0
// A unit's reply bodies through both mode-table parsers: the first half of
// the input as the definition reply, the rest as the value reply.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/modes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    std::string_view definitions = all.substr(0, size / 2);
    std::string_view values = all.substr(size / 2);
    // Bodies are read as text up to their zero byte.
    definitions = definitions.substr(0, definitions.find('\0'));
    values = values.substr(0, values.find('\0'));
    protocol::ModeTable table;
    table.parseDefinitions(definitions);
    table.fillValues(values, &protocol::ModeRecord::nvram);
    protocol::NameLimits tarnix;
    tarnix.fatalAt = 50;
    tarnix.sizeToken = 50;
    table.fillValues(values, &protocol::ModeRecord::newValue, tarnix);
    volatile std::size_t sink = protocol::oneModeValue(values).size();
    (void)sink;
    return 0;
}
