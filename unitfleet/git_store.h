// The backup folder as a git repository, through libgit2: each run that
// changed a listing becomes one commit, and any listing can be read back as
// it was at any commit. Only the units' listings (NAME.ini at the top of the
// folder) are tracked; the retry file and anything else are left alone.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "unitfleet/listing_changes.h"

namespace unitfleet {

struct GitRun {
    std::string verb = "backup";  // the summary's first word
    std::size_t units = 0;        // units the run worked on
    std::size_t failed = 0;
    VolatileModes volatileModes;
};

struct GitCommit {
    bool made = false;    // false: nothing changed, no commit
    std::string id;       // short id of the commit made
    std::string summary;  // "backup of N units: K changed, F failed"
};

// Makes DIR a repository if it is not one, compares every listing in it with
// the last commit and commits the ones that changed, appeared or vanished. A
// listing whose only differences are volatile modes is put back as it was
// committed, so the stored clock is the one read at the last real change.
// Nothing, and a message in `error`, when the repository cannot be used.
std::optional<GitCommit> commitListings(const std::string& dir, const GitRun& run,
                                        std::string& error);

// The listing of `unit` (its file stem) at `revision` ("HEAD~1", a commit
// id, a tag, ...). Nothing, with the reason in `error`, when the revision or
// the unit's listing at it does not exist.
std::optional<std::string> listingAt(const std::string& dir, const std::string& revision,
                                     const std::string& unit, std::string& error);

struct UnitHistory {
    std::string unit;
    bool added = false;    // its first listing
    bool removed = false;  // its listing was taken out
    std::vector<ModeChange> changes;
};

struct HistoryEntry {
    std::string id;  // short id
    std::time_t time = 0;
    std::string summary;
    std::vector<UnitHistory> units;  // in file name order
};

// The commits from the newest back, each with the mode changes of its
// listings against its first parent; only `unit` when it is not empty, and
// only commits at or after `since`. Commits that change none of the units
// asked for are left out.
std::optional<std::vector<HistoryEntry>> readHistory(const std::string& dir,
                                                     const std::string& unit,
                                                     std::optional<std::time_t> since,
                                                     const VolatileModes& volatileModes,
                                                     std::string& error);

}  // namespace unitfleet
