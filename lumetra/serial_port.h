// SPDX-License-Identifier: Apache-2.0
// The unit's second serial port is set by sending it a terminal-settings
// command line as a small file named "setscanner2".
#pragma once

#include <cstdint>
#include <string>

namespace lumetra {

inline constexpr std::string_view kSerialSettingsFile = "setscanner2";

struct SerialSettings {
    std::int32_t speed = 9600;
    std::int16_t dataBits = 8;
    const char* parity = nullptr;       // "E" even, "O" odd, anything else none
    std::int16_t stopBits = 1;          // 1, anything else two
    const char* flowControl = nullptr;  // "H" hardware, "X" XON/XOFF, anything else none
};

// The one-line stty command, newline included.
std::string sttyLine(const SerialSettings& settings);

}  // namespace lumetra
