// SPDX-License-Identifier: Apache-2.0
// Each unit's last known status, kept in memory for the API and /metrics.
// The status poll (a later addition) fills it; until then it is empty and
// the fleet's metrics list only the units it knows.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace unitfleetd {

struct UnitStatus {
    bool up = false;        // it answered
    bool statusOk = false;  // and its UnitStatus said all is well
    double replySeconds = 0;
    std::string unitId;      // as the unit reports it: any bytes
    std::string statusText;  // likewise
    double lastBackup = 0;   // seconds since the epoch; 0: none yet
    double checked = 0;
    // Modes off the unit's baseline in its last listing; -1: unknown (no
    // baseline, no listing). Set by the drift count, kept by the poll.
    int driftModes = -1;
};

// Keyed by the unit's key in the inventory (its name, else its address).
using FleetStatus = std::map<std::string, UnitStatus>;

}  // namespace unitfleetd
