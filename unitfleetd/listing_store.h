// SPDX-License-Identifier: Apache-2.0
// The units' listings in the git store, for the API's worker threads: the
// store's HEAD, each unit's history (kept until HEAD moves, so paging
// through it and asking again cost no second walk), listings at any
// revision. Units reach it only by their file stem from the inventory.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "unitfleet/git_store.h"

namespace unitfleetd {

// A revision the API passes on to the store: HEAD, a hex commit id, or a
// branch or tag name, each optionally followed by ~N and ^ steps. Nothing
// else: no "..", "@{", ":path" or leading '-'.
bool acceptableRevision(std::string_view text);

using History = std::vector<unitfleet::HistoryEntry>;

class ListingStore {
  public:
    explicit ListingStore(std::string folder);
    void setFolder(std::string folder);
    std::string folder() const;

    // HEAD's full id; empty when nothing is recorded yet.
    std::optional<std::string> head(std::string& error);
    // The commits that touch `stem`'s listing, newest first.
    std::shared_ptr<const History> history(const std::string& stem, std::string& error);
    std::optional<std::string> resolve(const std::string& revision, std::string& error);
    std::optional<std::map<std::string, std::string>> listingsAt(
        const std::string& revision, const std::vector<std::string>& stems, std::string& error);
    // One listing at a full commit id, kept: what a commit holds never
    // changes. Nothing without an error: no such listing there.
    std::optional<std::string> listingAt(const std::string& fullRevision, const std::string& stem,
                                         std::string& error);

  private:
    static constexpr std::size_t kMostHistories = 2048;
    mutable std::mutex mutex_;
    std::string folder_;
    std::string cachedHead_;
    std::map<std::string, std::shared_ptr<const History>> histories_;
    static constexpr std::size_t kMostListings = 4096;
    std::map<std::pair<std::string, std::string>, std::string> listings_;  // (id, stem)
};

}  // namespace unitfleetd
