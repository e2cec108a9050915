// SPDX-License-Identifier: Apache-2.0
// The job table: starts jobs through the runner, keeps one job per unit at
// a time (a second job that wants a busy unit is refused, naming it),
// records each unit's start and result as it comes, relays progress as
// events, and stops jobs on request. Lives on the server's thread; runner
// threads reach it only through posted calls.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "unitfleetd/event_hub.h"
#include "unitfleetd/job_runner.h"
#include "unitfleetd/metrics.h"
#include "unitfleetd/state_store.h"

namespace unitfleetd {

using Poster = std::function<void(std::function<void()>)>;

struct StartRefusal {
    int status = 400;  // 400 bad request, 409 units busy, 501 no runner for the kind
    std::string message;
};

class Jobs {
  public:
    Jobs(StateStore& store, EventHub& hub, DaemonCounters& counters, Poster post);
    ~Jobs();
    void setRunner(JobRunner* runner) { runner_ = runner; }

    std::optional<JobRecord> start(const std::string& kind, const nlohmann::json& params,
                                   const std::vector<std::string>& units, const std::string& user,
                                   StartRefusal& refusal);
    // False when the job is not running.
    bool stop(std::int64_t id);
    int running() const { return static_cast<int>(active_.size()); }
    std::vector<std::string> kinds() const;

  private:
    class Progress;
    void ended(std::int64_t id, const std::string& state);
    bool stillRunning(std::int64_t id);

    StateStore& store_;
    EventHub& hub_;
    DaemonCounters& counters_;
    Poster post_;
    JobRunner* runner_ = nullptr;
    std::map<std::string, std::int64_t> busy_;  // unit -> its job
    std::map<std::int64_t, std::shared_ptr<Progress>> active_;
    // Set when the table goes away, so late reports from runner threads
    // post nothing into a table that is gone.
    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};

nlohmann::json jobJson(const JobRecord& job);

}  // namespace unitfleetd
