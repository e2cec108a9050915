#include "unitfleet/restore.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "unitfleet/git_store.h"
#include "unitfleet/mode_plan.h"
#include "unitfleet/revision_argument.h"
#include "unitfleet/unit_work.h"

namespace unitfleet {

namespace {

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
        if (!std::filesystem::exists(listing.where, ec))
            return listing;
        listing.found = true;
        std::optional<std::string> text = readTextFile(listing.where);
        if (!text)
            listing.error = "cannot read " + listing.where + ": " + std::strerror(errno);
        else
            listing.text = std::move(*text);
        return listing;
    };
}

std::optional<ListingSource> listingSourceFor(const std::string& argument, std::string& error) {
    if (std::optional<RevisionArgument> at = splitRevisionArgument(argument)) {
        // The revision itself is checked once, before any unit is looked up.
        std::string problem;
        listingAt(at->dir, at->revision, "", problem);
        if (!isNoListing(problem)) {
            error = problem;
            return std::nullopt;
        }
        return revisionListings(*at);
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(argument, ec)) {
        error = "backup folder " + argument + " is not a folder";
        return std::nullopt;
    }
    return folderListings(argument);
}

std::optional<std::vector<std::optional<std::string>>> loadTargets(
    const std::vector<InventoryUnit>& units, const ListingSource& source, std::FILE* err) {
    std::vector<std::optional<std::string>> targets(units.size());
    bool faulty = false;
    for (std::size_t i = 0; i < units.size(); ++i) {
        SavedListing listing = source(units[i]);
        if (!listing.found)
            continue;
        std::vector<std::string> faults;
        if (!listing.error.empty())
            faults.push_back(listing.error);
        else
            faults = checkIni(listing.text.substr(0, listing.text.find('\0')), listing.where);
        for (const std::string& fault : faults) std::fprintf(err, "%s\n", fault.c_str());
        faulty = faulty || !faults.empty();
        // The mode tools read an ini file up to its first zero byte.
        listing.text.resize(std::min(listing.text.size(), listing.text.find('\0')));
        targets[i] = std::move(listing.text);
    }
    std::fflush(err);
    if (faulty)
        return std::nullopt;
    return targets;
}

}  // namespace unitfleet
