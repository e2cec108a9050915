// Runs one command on every unit with a pool of worker threads. Each worker
// holds its own client session; a unit that never answers holds only its own
// worker, and only until its time-out.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "unitfleet/inventory.h"
#include "unitfleet/unit_work.h"

namespace unitfleet {

// Told after each unit finishes, from the worker that ran it, one call at a
// time: the unit's index, its result, and the counts so far.
using FinishedFn = std::function<void(std::size_t index, const UnitResult& result, std::size_t done,
                                      std::size_t failed)>;

// Results in inventory order; every unit has one.
std::vector<UnitResult> runAll(Command command, const std::vector<InventoryUnit>& units,
                               const WorkSettings& settings, int workers,
                               const FinishedFn& finished);

// Shows progress on `stream`: on a terminal one line rewritten in place (units
// done, failed, rate); otherwise a plain line per finished unit.
class Progress {
  public:
    Progress(std::FILE* stream, bool terminal, const std::vector<InventoryUnit>& units);
    void finished(std::size_t index, const UnitResult& result, std::size_t done,
                  std::size_t failed);
    // Clears the terminal line.
    void end();
    // Names the batch of a rollout in every line from now on.
    void setBatch(std::size_t batch, std::size_t batches);

  private:
    std::FILE* stream_;
    bool terminal_;
    const std::vector<InventoryUnit>& units_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point shown_{};
    std::string batch_;  // "batch 2/5 " or empty
};

}  // namespace unitfleet
