// SPDX-License-Identifier: Apache-2.0
// Baselines: per group, an ini file of the modes and values its units should
// have. A unit in several groups follows the first of its groups (in the
// order of its inventory line) that has one. Drift and the plan of an apply
// come from the unit's last listing, worked out as `unitfleet diff` works
// them out from the unit itself.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "unitfleet/inventory.h"
#include "unitfleet/listing_reader.h"
#include "unitfleetd/config.h"

namespace unitfleetd {

struct Baseline {
    std::string group;
    std::string file;
    std::optional<std::string> text;  // nothing: the file cannot be read
    std::vector<unitfleet::ModeSetting> settings;
    std::vector<std::string> faults;  // as an apply would report them
    bool usable() const { return text && faults.empty(); }
};

// The group's baseline as its file holds it now; nothing when the
// configuration names no baseline for the group.
std::optional<Baseline> readBaseline(const Config& config, const std::string& group);

// The baseline from `text`, checked as an apply checks its ini file.
Baseline baselineFrom(std::string group, std::string file, std::string text);

// The unit's groups that have a baseline, in its inventory line's order:
// the first one is the unit's.
std::vector<std::string> baselineGroups(const Config& config, const unitfleet::InventoryUnit& unit);

// What an apply of `settings` would do to a unit as `listing` shows it:
// the modes it would set to another value (in the order it would send them)
// and the modes the unit lacks (an apply fails such a unit).
struct UnitPlan {
    std::vector<unitfleet::Change> changes;
    std::vector<std::string> unknown;
};
UnitPlan planFor(const unitfleet::Listing& listing,
                 const std::vector<unitfleet::ModeSetting>& settings);

// Drift, mode by mode: what the baseline asks for and what the unit has
// (nothing: its listing has no value for the mode).
struct DriftMode {
    std::string mode;
    std::string baseline;
    std::optional<std::string> unit;
};
std::vector<DriftMode> driftOf(const unitfleet::Listing& listing,
                               const std::vector<unitfleet::ModeSetting>& settings);

class ListingStore;

// Every unit's drift count at HEAD, by unit key: -1 when unknown (no
// baseline, no usable baseline, no listing, or a damaged one). For a
// worker thread.
std::map<std::string, int> countDrift(const Config& config, const unitfleet::Inventory& inventory,
                                      ListingStore& listings);

}  // namespace unitfleetd
