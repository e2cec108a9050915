// What unitfleet does with one unit on one connection: read its modes, save
// them, compare them with an ini file, set, verify and commit them. Each
// worker thread calls these with a session of its own.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/client_session.h"
#include "unitfleet/inventory.h"
#include "unitfleet/mode_plan.h"

namespace unitfleet {

enum class Outcome {
    Saved,           // backup: the listing is on disk
    Changes,         // diff: the ini file would change something
    NoChanges,       // diff: nothing to change
    Applied,         // apply: every set accepted and read back
    Unchanged,       // apply: the unit already had every value
    Refused,         // apply: the unit refused a set (or the commit)
    VerifyMismatch,  // apply: a value read back is not the one set
    Unreachable,     // the connect failed
    TimedOut,        // the unit's time-out passed
    Lost,            // the unit closed the connection or sent a broken frame
    WriteFailed,     // the backup file could not be written
    RefusedQuery,    // the unit refused a query the run depends on (its text is the detail)
    BadTable,        // the unit's mode table cannot be read back (names, types, no modes)
    TooLarge,        // the unit's listing is larger than one unit may take
    OutOfMemory,     // the unit's replies did not fit in memory
    NotRun,          // no worker could be started for the unit
    NotAttempted,    // apply, restore: a rollout stopped before the unit's batch
    NoListing,       // restore: no saved listing for the unit; it was not contacted
};

// The outcome's word in plain and JSON output ("applied", "timed out", ...).
std::string_view outcomeName(Outcome outcome);
bool isFailure(Outcome outcome);

struct UnitResult {
    Outcome outcome = Outcome::Lost;
    std::string detail;  // the refused mode, the mismatch, the file, the error
    std::vector<Change> changes;
    // The listing was saved (under listingPath). Results hold no path of
    // their own: a thousand units' results stay small.
    bool saved = false;
    bool committed = false;  // apply --commit: also when nothing needed setting
    bool restarted = false;
    std::string unitText;  // a refusal: the unit's own text
};

// One line's reason: "applied 3 modes, committed", "refused mode POSTimeout", ...
// A saved listing's path follows "saved" when `listing` is given. The unit's
// own text is in it as the unit sent it: escape it for a terminal.
std::string reasonText(const UnitResult& result, const std::string& listing = {});

// Where a unit's listing goes: DIR/NAME.ini, or DIR/ADDRESS.ini without a name.
std::string listingPath(const std::string& dir, const InventoryUnit& unit);

struct WorkSettings {
    std::chrono::milliseconds timeout{10000};  // everything one unit may take
    std::string backupDir;                     // backup, apply: where listings go (empty: none)
    bool durable = false;                      // flush listings to disk before renaming
    std::string_view iniText;                  // diff, apply
    bool commit = false;                       // apply
    bool restart = false;                      // apply
    // restore: the unit's saved listing, its target; nothing when it has none.
    std::function<const std::string*(const InventoryUnit&)> targetFor;
};

enum class Command { Backup, Diff, Apply, Restore };

// Connects and reads the unit's mode table with its values (NVRam field);
// nothing when that worked, else the failure. The session stays open.
std::optional<UnitResult> readUnit(const InventoryUnit& unit, const WorkSettings& settings,
                                   protocol::ClientSession& session, protocol::ModeTable& table);

// Runs `command` on one unit. Never throws; every failure is an outcome.
UnitResult workOnUnit(Command command, const InventoryUnit& unit, const WorkSettings& settings,
                      protocol::ClientSession& session);

// The same on a session that is connected already (and has its deadline):
// what workOnUnit does once its connect succeeded.
UnitResult workOnConnectedUnit(Command command, const InventoryUnit& unit,
                               const WorkSettings& settings, protocol::ClientSession& session);

}  // namespace unitfleet
