// Where `restore` finds each unit's target: the listing saved for it. The
// source is a plain function, so a folder of listings (as backup and apply
// write them) and other stores of saved listings fit behind it alike.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "unitfleet/inventory.h"

namespace unitfleet {

struct SavedListing {
    bool found = false;  // false: the source holds no listing for the unit
    std::string text;    // the listing, when found
    std::string where;   // for messages: "saved/till-01.ini"
    std::string error;   // not empty: it is there but cannot be read
};

using ListingSource = std::function<SavedListing(const InventoryUnit& unit)>;

// The listings of a folder that backup or apply wrote: DIR/NAME.ini, or
// DIR/ADDRESS.ini for a unit without a name.
ListingSource folderListings(const std::string& dir);

// The source a restore argument names: a folder, or DIR@REVISION for a
// folder kept with --git as it was at that commit. An error text in `error`
// when it names none.
std::optional<ListingSource> listingSourceFor(const std::string& argument, std::string& error);

// Every unit's target, read before any unit is contacted: nothing for a unit
// without a listing. Faults of the listings (unreadable, a broken line) are
// printed on `err`; the result is then nothing.
std::optional<std::vector<std::optional<std::string>>> loadTargets(
    const std::vector<InventoryUnit>& units, const ListingSource& source, std::FILE* err);

}  // namespace unitfleet
