// SPDX-License-Identifier: Apache-2.0
// The unit's mode table as the library keeps it: read at uxOpen, kept across
// uxClose and ReOpen, answered from by the getters and the enumeration.
#pragma once

#include <string_view>

#include "protocol/modes.h"

namespace lumetra {

// Longest text a getter hands back.
inline constexpr std::size_t kResultLimit = 1023;

struct LibraryModes {
    protocol::ModeTable table;
    int cursor = 0;
};

LibraryModes& modes();

// The three "Force" queries, each with its reply read; false when the
// connection broke.
bool sendForceLines();

// The whole open sequence on a fresh connection: the Force lines, the
// definition query and the value query. Returns the mode count, or nothing
// when the connection broke (the table is then left empty).
std::optional<std::size_t> readModeTable();

}  // namespace lumetra
