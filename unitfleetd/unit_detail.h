// SPDX-License-Identifier: Apache-2.0
// What the detail routes share with the daemon: the listing store and each
// unit's drift count from its baseline, counted again at start, when the
// store's HEAD moves and when a baseline changes.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "unitfleetd/listing_store.h"

namespace unitfleetd {

struct UnitDetail {
    explicit UnitDetail(std::string storeFolder) : listings(std::move(storeFolder)) {}
    ListingStore listings;             // thread-safe
    std::map<std::string, int> drift;  // unit key -> modes off its baseline; server's thread
    std::string driftHead;             // the HEAD the counts were taken at
    std::function<void()> refresh;     // counts again (in the background)
};

// The unit's drift count for /metrics and the unit list; -1 when unknown.
inline int driftModesOf(const UnitDetail& detail, const std::string& key) {
    auto it = detail.drift.find(key);
    return it == detail.drift.end() ? -1 : it->second;
}

}  // namespace unitfleetd
