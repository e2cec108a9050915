// SPDX-License-Identifier: Apache-2.0
// A change that goes out in batches: units in inventory order, each batch
// worked on in parallel, and after each batch the failures so far are held
// against a ceiling; past it the rollout stops and the units not reached end
// as "not attempted".
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "unitfleet/runner.h"

namespace unitfleet {

// A count ("10") or a share of the units ("10%").
struct Share {
    long value = 0;
    bool percent = false;
};

// "N" or "N%" with N from 0 (0 to 100 for a share); nothing otherwise.
std::optional<Share> parseShare(std::string_view text);

struct RolloutPlan {
    std::optional<Share> batch;    // nothing: every unit (after the canary) in one batch
    std::optional<Share> maxFail;  // nothing: no ceiling
    std::size_t canary = 0;        // size of the first batch; 0: as the others
};

// The sizes of the batches for `units` units, in order. A share of the units
// is rounded up, and a batch holds at least one unit.
std::vector<std::size_t> batchSizes(std::size_t units, const RolloutPlan& plan);

// The most failures a rollout over `units` units may have and go on: a
// share is rounded down ("10%" of 25 units allows 2).
std::size_t failureCeiling(std::size_t units, Share maxFail);

struct Rollout {
    std::vector<UnitResult> results;  // inventory order, every unit
    std::size_t batches = 0;          // in the plan
    std::size_t stoppedAfter = 0;     // the batch after which it stopped; 0: it ran to its end
    std::size_t failed = 0;           // failures when it stopped
    std::size_t ceiling = 0;
    int signal = 0;  // the stop signal that cut the run short; 0: none came
    bool stopRequested = false;  // the run's own stop (RunControl) came instead
};

// Runs `command` batch by batch, telling `finished` of each unit. Without a
// plan this is one batch of all. After a stop signal (or the run's own stop)
// no batch starts; the units not reached end "interrupted".
Rollout runRollout(Command command, const std::vector<InventoryUnit>& units,
                   const WorkSettings& settings, int workers, const RolloutPlan& plan,
                   const FinishedFn& finished);

// "stopped after batch 2 of 5: 4 units failed, at most 3 may" or "" when it
// ran to its end.
std::string stopText(const Rollout& rollout);

}  // namespace unitfleet
