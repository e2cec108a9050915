// SPDX-License-Identifier: Apache-2.0
// Runs one command on units of the inventory with a pool of worker threads.
// Each worker holds its own client session; a unit that never answers holds
// only its own worker, and only until its time-out.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "unitfleet/inventory.h"
#include "unitfleet/unit_work.h"

namespace unitfleet {

// Told after each unit finishes, one call at a time: the unit's index in the
// inventory and its result.
using FinishedFn = std::function<void(std::size_t index, const UnitResult& result)>;

// Works on units[first] .. units[first + count - 1] and stores each result
// at its index of `results` (sized for every unit). Units no worker took end
// "interrupted" after a stop signal, else "not run".
void runRange(Command command, const std::vector<InventoryUnit>& units, std::size_t first,
              std::size_t count, const WorkSettings& settings, int workers,
              std::vector<UnitResult>& results, const FinishedFn& finished);

// Every unit in one range; results in inventory order.
std::vector<UnitResult> runAll(Command command, const std::vector<InventoryUnit>& units,
                               const WorkSettings& settings, int workers,
                               const FinishedFn& finished);

// Shows progress on `stream`: on a terminal one line rewritten in place (units
// done, failed, rate); otherwise a plain line per finished unit.
class Progress {
  public:
    Progress(std::FILE* stream, bool terminal, const std::vector<InventoryUnit>& units);
    void finished(std::size_t index, const UnitResult& result);
    // Clears the terminal line.
    void end();
    // A rollout's batch sizes: each line then names the unit's batch.
    void setBatches(std::vector<std::size_t> sizes) { batches_ = std::move(sizes); }

  private:
    std::FILE* stream_;
    bool terminal_;
    const std::vector<InventoryUnit>& units_;
    std::vector<std::size_t> batches_;
    std::size_t done_ = 0, failed_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point shown_{};
};

}  // namespace unitfleet
