// SPDX-License-Identifier: Apache-2.0
// Connections Hobsel opens itself, to the configuration port of the unit it
// is serving: event answers, prints and the touch demo's pushes.
#pragma once

#include "hobsel/context.h"

namespace hobsel {

inline constexpr std::uint16_t kUnitPort = 1283;

enum class UnitLinkFailure { None, Startup, Socket, Address, Connect };

struct UnitLink {
    platform::Socket socket;
    UnitLinkFailure failure = UnitLinkFailure::None;
    int error = 0;  // the system's code for a start-up failure
};

// Connects to the unit's port 1283, bounded by the context's unit time-out.
// Address 0 names no unit (console mode, or no touch yet) and is never
// tried. With `announce`, the demo's "makeConnection" trace line is written
// once the socket exists.
UnitLink connectToUnit(Context& c, platform::Ipv4 unit, bool announce);

}  // namespace hobsel
