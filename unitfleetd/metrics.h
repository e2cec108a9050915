// SPDX-License-Identifier: Apache-2.0
// /metrics in Prometheus's text format: the daemon's own counters and the
// fleet's gauges for the units whose status is known.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "unitfleet/inventory.h"
#include "unitfleetd/fleet_status.h"

namespace unitfleetd {

struct DaemonCounters {
    std::map<int, std::uint64_t> httpRequests;          // by status code
    std::map<std::string, std::uint64_t> jobsFinished;  // by final state
    std::uint64_t jobsStarted = 0;
    int jobsRunning = 0;
    int connections = 0;
    int eventStreams = 0;
    // The status poll: cycles run and the last one's length (-1: none yet).
    std::uint64_t polls = 0;
    double lastPollSeconds = -1;
    std::vector<std::pair<std::string, int>> jobsByState;  // filled as /metrics is asked
};

// A label value with '\', '"' and newline escaped as the format demands.
std::string escapeLabel(std::string_view value);

std::string renderMetrics(const DaemonCounters& counters,
                          const std::vector<unitfleet::InventoryUnit>& units,
                          const FleetStatus& status);

// The unit's key: its name, else its address.
inline const std::string& unitKey(const unitfleet::InventoryUnit& unit) {
    return unit.name.empty() ? unit.address : unit.name;
}

}  // namespace unitfleetd
