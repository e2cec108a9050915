// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/restore.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/parse.h"
#include "unitfleet/git_store.h"
#include "unitfleet/revision_argument.h"

namespace unitfleet {

namespace {

namespace fs = std::filesystem;

// listingAt's reason when the revision is there but the unit's listing is not.
bool isNoListing(const std::string& error) {
    return error.rfind("no listing ", 0) == 0;
}

// The listings of a folder kept with --git as they were at a revision.
ListingSource revisionListings(const RevisionArgument& at) {
    return [at](const InventoryUnit& unit) {
        SavedListing listing;
        listing.where = at.dir + "@" + at.revision + ":" + unit.fileStem() + ".ini";
        std::string error;
        std::optional<std::string> text = listingAt(at.dir, at.revision, unit.fileStem(), error);
        if (text) {
            listing.found = true;
            listing.text = std::move(*text);
        } else if (!isNoListing(error)) {
            listing.found = true;
            listing.error = error;
        }
        return listing;
    };
}

}  // namespace

ListingSource folderListings(const std::string& dir) {
    return [dir](const InventoryUnit& unit) {
        SavedListing listing;
        listing.where = listingPath(dir, unit);
        std::error_code ec;
        fs::file_status status = fs::status(listing.where, ec);
        if (!fs::exists(status))
            return listing;
        listing.found = true;
        if (!fs::is_regular_file(status)) {
            listing.error = listing.where + " is not a regular file";
            return listing;
        }
        std::optional<std::string> text = readTextFile(listing.where);
        if (!text)
            listing.error = "cannot read " + listing.where + ": " + std::strerror(errno);
        else
            listing.text = std::move(*text);
        return listing;
    };
}

std::optional<ListingSource> listingSourceFor(const std::string& argument, std::string& dir,
                                              std::string& error) {
    if (std::optional<RevisionArgument> at = splitRevisionArgument(argument)) {
        // The revision itself is checked once, before any unit is looked up.
        std::string problem;
        listingAt(at->dir, at->revision, "", problem);
        if (!isNoListing(problem)) {
            error = problem;
            return std::nullopt;
        }
        dir = at->dir;
        return revisionListings(*at);
    }
    std::error_code ec;
    if (!fs::is_directory(argument, ec)) {
        error = "backup folder " + argument + " is not a folder";
        return std::nullopt;
    }
    dir = argument;
    return folderListings(argument);
}

bool isListingFor(const std::string& target, const InventoryUnit& unit) {
    if (target == unit.target())
        return true;
    std::string error;
    std::optional<platform::HostPort> where = platform::parseHostPort(target, error);
    if (!where || where->port.value_or(0) != unit.port || !unit.resolved)
        return false;
    std::optional<platform::Ipv4> ip = platform::parseIpv4(where->host);
    if (!ip)
        ip = platform::lookupHost(where->host);
    return ip && *ip == unit.ip;
}

std::vector<RestoreTarget> loadTargets(const std::vector<InventoryUnit>& units,
                                       const ListingSource& source, bool force) {
    std::vector<RestoreTarget> targets(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        SavedListing saved = source(units[i]);
        RestoreTarget& target = targets[i];
        target.found = saved.found;
        if (!saved.found)
            continue;
        if (!saved.error.empty()) {
            target.fault = saved.error;
            continue;
        }
        std::string error;
        std::optional<Listing> listing = readListing(saved.text, error);
        if (!listing) {
            target.fault = saved.where + " is not a whole listing: " + error;
            continue;
        }
        if (std::vector<std::string> faults = checkSettings(listing->modes, saved.where);
            !faults.empty() && !(listing->modes.empty() && force)) {
            target.fault = faults.front();
            continue;
        }
        if (!force && !isListingFor(listing->target, units[i])) {
            target.fault = "listing is for " + listing->target;
            continue;
        }
        target.listing = std::move(listing);
    }
    return targets;
}

}  // namespace unitfleet
