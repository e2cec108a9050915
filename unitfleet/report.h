// SPDX-License-Identifier: Apache-2.0
// What unitfleet prints when every unit is done: a line per unit in
// inventory order and the totals, or one JSON document; and the retry
// inventory of the units that failed.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "unitfleet/inventory.h"
#include "unitfleet/outcome.h"
#include "unitfleet/unit_work.h"

namespace unitfleet {

struct RunSummary {
    Command command = Command::Backup;
    std::string backupDir;   // empty for diff
    std::string retryFile;   // empty when none was written
    std::string reportFile;  // empty when none is written
    // Every unit was done, so no retry file was written; `removedRetry` is
    // the earlier retry file this run made stale and removed, if any.
    bool nothingToRetry = false;
    std::string removedRetry;
    std::string rollout;  // why a rollout stopped; empty when it did not
    int signal = 0;       // the stop signal that cut the run short; 0: none
    bool stopRequested = false;  // the run's own stop (a service's) cut it short instead
};

// The report as printed, one line per unit and the totals, with the units'
// text escaped for a terminal; or as one JSON document with their exact
// bytes (JSON-escaped).
std::string textReport(const std::vector<InventoryUnit>& units,
                       const std::vector<UnitResult>& results, const RunSummary& summary);
std::string jsonReport(const std::vector<InventoryUnit>& units,
                       const std::vector<UnitResult>& results, const RunSummary& summary);

void printText(std::FILE* out, const std::vector<InventoryUnit>& units,
               const std::vector<UnitResult>& results, const RunSummary& summary);
void printJson(std::FILE* out, const std::vector<InventoryUnit>& units,
               const std::vector<UnitResult>& results, const RunSummary& summary);

// The inventory lines of the failed units, each with its reason as a comment,
// so the file can be given back to unitfleet as it is.
std::string retryInventory(const std::vector<InventoryUnit>& units,
                           const std::vector<UnitResult>& results, const std::string& heading);

std::string_view commandName(Command command);

}  // namespace unitfleet
