// SPDX-License-Identifier: Apache-2.0
// The Lumetra library's Fennick export as LumetraControl reaches it: linked
// on Linux (libLumetra.so), bound at run time on Windows (Lumetra.dll beside
// the program, looked up at the first call as Veltrin does), so the window
// starts without the library and its note names the missing file or export.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace fennick {

struct PortSettings {
    std::string address;
    std::int32_t speed = 0;
    std::int16_t dataBits = 0;
    std::string parity;
    std::int16_t stopBits = 0;
    std::string flow;
};

// The export's result (1: sent, 0: the unit was not reached); nothing, with
// the reason in `error`, when the library or its export cannot be found.
std::optional<std::int16_t> callFennick(const PortSettings& settings, std::string& error);

}  // namespace fennick
