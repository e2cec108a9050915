// SPDX-License-Identifier: Apache-2.0
// Where `restore` finds each unit's target: the listing saved for it, read
// and checked whole before any unit is contacted. The source is a plain
// function, so a folder of listings (as backup and apply write them) and a
// folder kept with --git fit behind it alike.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "unitfleet/inventory.h"
#include "unitfleet/unit_work.h"

namespace unitfleet {

struct SavedListing {
    bool found = false;  // false: the source holds no listing for the unit
    std::string text;    // the listing, when found
    std::string where;   // for messages: "saved/till-01.ini"
    std::string error;   // not empty: it is there but cannot be read
};

using ListingSource = std::function<SavedListing(const InventoryUnit& unit)>;

// The listings of a folder that backup or apply wrote: DIR/NAME.ini, or
// DIR/ADDRESS.ini for a unit without a name. Only regular files are read (a
// FIFO would hang the run).
ListingSource folderListings(const std::string& dir);

// The source a restore argument names: a folder, or DIR@REVISION for a
// folder kept with --git as it was at that commit. `dir` is the folder
// either way. Nothing, with the reason in `error`, when it names none.
std::optional<ListingSource> listingSourceFor(const std::string& argument, std::string& dir,
                                              std::string& error);

// Every unit's target, in unit order: none, a sound listing, or the fault
// that fails the unit without contacting it (damaged; or saved from another
// unit, unless `force`).
std::vector<RestoreTarget> loadTargets(const std::vector<InventoryUnit>& units,
                                       const ListingSource& source, bool force);

// The unit a listing's TargetIP names is this one: the same text, or the same
// address and port once resolved.
bool isListingFor(const std::string& target, const InventoryUnit& unit);

}  // namespace unitfleet
