// SPDX-License-Identifier: Apache-2.0
// Each unit's last known status, kept in memory for the API and /metrics:
// filled by the status poll, status jobs and backups; each unit's recent
// reply times over the last kRecentPolls polls (the long history is
// Prometheus's job).
#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <optional>
#include <string>

namespace unitfleetd {

// Polls whose reply times each unit keeps: an hour at the default interval.
inline constexpr std::size_t kRecentPolls = 60;

struct ReplySample {
    double at = 0;  // seconds since the epoch
    bool up = false;
    double seconds = 0;  // when up
};

struct UnitStatus {
    bool up = false;        // it answered
    bool statusOk = false;  // and its UnitStatus said all is well
    double replySeconds = 0;
    std::string unitId;      // as the unit reports it: any bytes
    std::optional<std::string> statusText;  // likewise; none when it named no UnitStatus
    double lastBackup = 0;   // seconds since the epoch; 0: none yet
    double checked = 0;
    // Modes that differ from the group's baseline; -1: not known.
    int driftModes = -1;
    std::deque<ReplySample> recent;  // oldest first, at most kRecentPolls
};

// Keyed by the unit's key in the inventory (its name, else its address).
using FleetStatus = std::map<std::string, UnitStatus>;

}  // namespace unitfleetd
