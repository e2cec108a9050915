// SPDX-License-Identifier: Apache-2.0
// A saved listing read back whole before restore puts any of it on a unit:
// the heading the mode tool prints, the TargetIP line, then one mode line
// each ("Name<blanks>= value"), every line ended. Anything else (random
// bytes, a file cut short, a line that is not a mode line) is refused, so a
// damaged listing is never half restored.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "unitfleet/mode_plan.h"

namespace unitfleet {

struct Listing {
    std::string target;  // the TargetIP line's value: the unit it was saved from
    // Every mode line, in file order, line numbers from 1. Modes the unit
    // reported no value for ("(null)") are left out: there is nothing to put
    // back.
    std::vector<ModeSetting> modes;
};

// The listing in `text`; nothing, with the first fault ("line 7: not a mode
// line") in `error`.
std::optional<Listing> readListing(std::string_view text, std::string& error);

// Modes that say what the unit is rather than how it is set up: a listing
// from before a repair or a replacement must not copy them onto the unit.
bool isIdentityMode(std::string_view name);

// The listing as the unit's mode table would read (each mode a STRING with
// its saved value as the NVRam value), so what a run would change on the
// unit can be worked out from its last listing, as plannedChanges does
// from the unit itself.
protocol::ModeTable listingTable(const Listing& listing);

}  // namespace unitfleet
