// SPDX-License-Identifier: Apache-2.0
// What a service that runs unitfleet's commands inside its own process needs
// of a run, beyond what the command line does: a stop of this run alone (the
// command line's stop is the process's signal), a word as each unit starts
// and ends, the run's results at its end, and the name its git commits carry.
// Without a RunControl a run behaves exactly as the command line's.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace unitfleet {

struct UnitResult;
struct RunSummary;

struct RunControl {
    // True once this run should start no further unit. Asked between units
    // and between a unit's steps, as the stop signal is.
    std::function<bool()> stop;
    // A worker took the unit at `index` of the run's units. From the
    // workers' threads, possibly at once.
    std::function<void(std::size_t index)> started;
    // The unit is done with, whatever became of it: also the units a stop or
    // a rollout's ceiling left untouched. One call at a time.
    std::function<void(std::size_t index, const UnitResult& result)> finished;
    // The run's summary once the report and retry file are written (before
    // the git record): the run's `output` and error text are in the streams.
    std::function<void(const RunSummary& summary)> ended;
    // The author of the run's git commits; empty: "unitfleet".
    std::string author;
};

// The run should stop: a stop signal came to the process, or `control`'s
// own stop says so.
bool stopAsked(const RunControl* control);

}  // namespace unitfleet
