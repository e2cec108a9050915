// SPDX-License-Identifier: Apache-2.0
// What unitfleet does with one unit on one connection: read its modes, save
// them, compare them with what the run asks, set, verify and commit them.
// Each worker thread calls these with a session of its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/client_session.h"
#include "unitfleet/inventory.h"
#include "unitfleet/listing_reader.h"
#include "unitfleet/mode_plan.h"
#include "unitfleet/outcome.h"
#include "unitfleet/run_control.h"

namespace unitfleet {

enum class Command { Backup, Diff, Apply, Restore };

// DIR/NAME, with no doubled '/' when DIR ends in one.
std::string pathInFolder(const std::string& dir, const std::string& name);

// Where a unit's listing goes: DIR/STEM.ini.
std::string listingPath(const std::string& dir, const InventoryUnit& unit);

// restore: what was found for one unit before any unit was contacted.
struct RestoreTarget {
    bool found = false;              // false: no listing; the unit is not contacted
    std::optional<Listing> listing;  // when found and sound
    std::string fault;               // when found and refused: why
};

struct WorkSettings {
    std::chrono::milliseconds timeout{10000};  // everything one unit may take
    std::string backupDir;                     // backup, apply: where listings go (empty: none)
    bool durable = false;                      // flush listings to disk before renaming
    bool commit = false;                       // apply, restore
    bool restart = false;                      // apply, restore
    bool skipUnknown = false;  // modes the unit lacks are skipped (and named), not a failure
    bool force = false;        // restore: a listing that names none of the unit's modes
    std::vector<ModeSetting> settings;                    // diff, apply
    const std::vector<RestoreTarget>* targets = nullptr;  // restore, by unit index
    const RunControl* control = nullptr;  // a service's run: its own stop and observers
};

// Connects and reads the unit's mode table with its values (NVRam field).
// False with the failure when that did not work. The session stays open.
bool readUnit(const InventoryUnit& unit, const WorkSettings& settings,
              protocol::ClientSession& session, protocol::ModeTable& table, UnitFailure& failure);

// Runs `command` on the unit at `index` of the run. Never throws; every
// failure is an outcome.
UnitResult workOnUnit(Command command, std::size_t index, const InventoryUnit& unit,
                      const WorkSettings& settings, protocol::ClientSession& session);

// The same on a session that is connected already (and has its deadline).
UnitResult workOnConnectedUnit(Command command, std::size_t index, const InventoryUnit& unit,
                               const WorkSettings& settings, protocol::ClientSession& session);

}  // namespace unitfleet
