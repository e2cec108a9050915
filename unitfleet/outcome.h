// SPDX-License-Identifier: Apache-2.0
// What became of one unit in a run: the outcome model, apart from the
// protocol work that produces it and the reports that show it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "unitfleet/mode_plan.h"

namespace unitfleet {

enum class Outcome {
    Saved,           // backup: the listing is on disk
    Changes,         // diff: the run would change something
    NoChanges,       // diff: nothing to change
    Applied,         // apply, restore: every set accepted and read back
    Unchanged,       // apply, restore: the unit already had every value
    Refused,         // the unit refused a set (or the commit)
    VerifyMismatch,  // a value read back is not the one set
    Unreachable,     // the connect failed (detail: the system's reason)
    Unresolved,      // the unit's name does not resolve
    TimedOut,        // the unit's time-out passed
    Lost,            // the unit closed the connection or sent a broken frame
    WriteFailed,     // the backup file could not be written
    RefusedQuery,    // the unit refused a query the run depends on (its text is the detail)
    BadTable,        // the unit's mode table cannot be read back (names, types, no modes)
    TooLarge,        // the unit's listing is larger than one unit may take
    OutOfMemory,     // the unit's replies did not fit in memory
    UnknownMode,     // the run names a mode the unit does not have
    BadValue,        // a value does not fit the type the unit declares
    BadListing,      // restore: the saved listing is damaged or another unit's
    NotRun,          // no worker could be started for the unit
    NotAttempted,    // a rollout stopped before the unit's batch
    Interrupted,     // a stop signal came before the unit was done with
    NoListing,       // restore: no saved listing for the unit; it was not contacted
};

// The outcome's word in plain and JSON output ("applied", "timed out", ...).
std::string_view outcomeName(Outcome outcome);
bool isFailure(Outcome outcome);

// Why a step on a unit failed: the outcome it gives the unit and its detail.
struct UnitFailure {
    Outcome outcome = Outcome::Lost;
    std::string detail;
    std::string unitText;  // a refusal: the unit's own text
};

struct UnitResult {
    Outcome outcome = Outcome::Lost;
    std::string detail;  // the refused mode, the mismatch, the file, the cause
    std::vector<Change> changes;
    // Modes set on the unit in this run, in order: also those set before a
    // failure, which then hold uncommitted values.
    std::vector<std::string> sent;
    std::vector<std::string> skipped;      // --skip-unknown: modes the unit lacks
    std::vector<std::string> notRestored;  // restore: identity modes left as they are
    // The listing was saved (under listingPath). Results hold no path of
    // their own: a thousand units' results stay small.
    bool saved = false;
    bool committed = false;  // also when nothing needed setting
    bool restarted = false;
    std::string unitText;  // a refusal: the unit's own text
};

UnitResult resultOf(UnitFailure failure);

// One line's reason: "applied 3 modes, committed", "refused mode POSTimeout",
// "timed out after setting Contrast, TextReset; not committed", ... A saved
// listing's path follows "saved" when `listing` is given. The unit's own
// text is in it as the unit sent it: escape it for a terminal.
std::string reasonText(const UnitResult& result, const std::string& listing = {});

// "1 unit", "2 units".
std::string countOf(std::size_t n, std::string_view one, std::string_view many);

}  // namespace unitfleet
