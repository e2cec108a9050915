// SPDX-License-Identifier: Apache-2.0
// What runs a job's work on the units. The daemon owns the job table (ids,
// states, per-unit results in the database, progress events); a runner only
// does the work and reports through JobProgress. The runner on unitfleet's
// core (backup, apply, restore, status) plugs in here; tests use a fake.
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace unitfleetd {

struct JobRequest {
    std::int64_t id = 0;
    std::string kind;
    nlohmann::json params;           // the kind's own options
    std::vector<std::string> units;  // unit keys, in inventory order
    std::string user;                // who started it
};

// Thread-safe: a runner may call it from any of its threads. Each unit's
// start and end is in the database before the call returns.
class JobProgress {
  public:
    virtual ~JobProgress() = default;
    virtual void unitStarted(const std::string& unit) = 0;
    virtual void unitFinished(const std::string& unit, const std::string& outcome,
                              const std::string& detail) = 0;
    // The job's end: "done", "failed" or "stopped". Called once, last.
    virtual void finished(const std::string& state, const std::string& message) = 0;
    // Set by a stop request: the runner starts no further unit and ends.
    virtual bool stopRequested() const = 0;
};

class JobRunner {
  public:
    virtual ~JobRunner() = default;
    // The job kinds this runner knows.
    virtual std::vector<std::string> kinds() const = 0;
    // Faults of a kind's options; empty when it may start.
    virtual std::vector<std::string> check(const std::string& kind,
                                           const nlohmann::json& params) const = 0;
    // Starts the job and returns at once; the work goes on elsewhere.
    virtual void start(JobRequest request, std::shared_ptr<JobProgress> progress) = 0;
};

}  // namespace unitfleetd
