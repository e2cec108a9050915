// SPDX-License-Identifier: Apache-2.0
// The backup folder as a git repository, through libgit2: each run that
// changed a listing becomes one commit, and any listing can be read back as
// it was at any commit. Only the units' listings (NAME.ini at the top of the
// folder) are tracked; the retry file and anything else are left alone.
#pragma once

#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "unitfleet/listing_changes.h"

namespace unitfleet {

struct GitRun {
    std::string verb = "backup";  // the summary's first word: the command
    std::string state;            // after the unit count, e.g. " (state before)"
    std::size_t units = 0;        // units the run worked on
    std::size_t failed = 0;
    std::size_t notAttempted = 0;
    // Units the run changed; nothing: count the listings the commit changes.
    std::optional<std::size_t> changed;
    // The file stems of the listings this run wrote: only these are
    // committed. Other files, other units' listings (hand edits included)
    // and whatever the user staged are left as they are.
    std::vector<std::string> stems;
    VolatileModes volatileModes;
    std::string author;  // the commit's author; empty: "unitfleet"
};

struct GitCommit {
    bool made = false;    // false: nothing changed, no commit
    std::string id;       // short id of the commit made
    std::string summary;  // "backup of N units: K changed, F failed"
    // Listings in the folder that differ from the last commit but are not
    // this run's: left out, and worth a warning.
    std::vector<std::string> leftOut;
};

// Makes DIR a repository if it is not one, compares this run's listings
// with the last commit and commits the ones that changed, appeared or
// vanished. A listing whose only differences are volatile modes is put back
// as it was committed, so the stored clock is the one read at the last real
// change. Nothing, and a message in `error`, when the repository cannot be
// used (checkStoreBranch's faults included).
std::optional<GitCommit> commitListings(const std::string& dir, const GitRun& run,
                                        std::string& error);

// A store commits on its own branch: the one it was created on (kept in its
// config as unitfleet.branch). A detached HEAD or another branch checked out
// is refused, with what to do in `error`. A folder that is no repository yet
// passes.
bool checkStoreBranch(const std::string& dir, std::string& error);

// The listing of `unit` (its file stem) at `revision` ("HEAD~1", a commit
// id, a tag, ...). Nothing, with the reason in `error`, when the revision or
// the unit's listing at it does not exist.
std::optional<std::string> listingAt(const std::string& dir, const std::string& revision,
                                     const std::string& unit, std::string& error);

// The full id (40 hex digits) of the commit `revision` names. Nothing, with
// the reason in `error`, when there is no such commit.
std::optional<std::string> resolveRevision(const std::string& dir, const std::string& revision,
                                           std::string& error);

// The full id of HEAD's commit; empty when DIR is no repository yet or has
// no commit yet (no run recorded into it so far).
std::optional<std::string> headRevision(const std::string& dir, std::string& error);

// The listings of `units` (file stems) at `revision`, read from one tree:
// stem -> text, units without a listing there left out.
std::optional<std::map<std::string, std::string>> listingsAt(const std::string& dir,
                                                             const std::string& revision,
                                                             const std::vector<std::string>& units,
                                                             std::string& error);

struct UnitHistory {
    std::string unit;
    bool added = false;    // its first listing
    bool removed = false;  // its listing was taken out
    std::vector<ModeChange> changes;
};

struct HistoryEntry {
    std::string id;        // short id
    std::string revision;  // full id
    std::time_t time = 0;
    std::string author;  // the commit's author's name
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
