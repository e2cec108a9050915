// SPDX-License-Identifier: Apache-2.0
// What changed between two saved listings of one unit, mode by mode. The
// history store compares listings this way rather than byte for byte, so a
// wider name column or a clock that moved on its own is not a change.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace unitfleet {

// Modes whose value moves by itself (a clock, counters): never a change.
struct VolatileModes {
    std::vector<std::string> names{"DateTime"};  // compared ignoring case
    bool contains(std::string_view mode) const;
};

// The "name = value" lines of a listing in file order: the TargetIP line and
// one line per mode; headings and empty lines are skipped.
std::vector<std::pair<std::string, std::string>> listingEntries(std::string_view listing);

struct ModeChange {
    std::string mode;
    std::optional<std::string> before;  // nothing: the mode was not listed
    std::optional<std::string> after;
};

// The modes whose values differ (exactly, case included), volatile modes left
// out: first those of `before` in its order, then those only `after` lists.
std::vector<ModeChange> listingChanges(std::string_view before, std::string_view after,
                                       const VolatileModes& volatileModes);

// "POSTimeout 10 -> 20"; a missing side shows as "(none)".
std::string describeChange(const ModeChange& change);

}  // namespace unitfleet
