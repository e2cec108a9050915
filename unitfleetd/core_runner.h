// SPDX-License-Identifier: Apache-2.0
// The job runner on unitfleet's core: backup, apply, restore and status, each
// run as the command line runs it (`backup --git STORE`, `apply --git STORE`,
// `restore STORE@REV`, `status`), so a job leaves the same git history,
// report and retry file. What differs is told through unitfleet's
// RunControl: each unit's start and end go to the job's progress, a stop of
// the job stops only that job, and the commits name who started it.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "unitfleet/inventory.h"
#include "unitfleetd/config.h"
#include "unitfleetd/job_runner.h"
#include "unitfleetd/status_poll.h"

namespace unitfleetd {

// What a job reads of the daemon when it starts (on the server's thread),
// and where a status job's answers go (called from the job's thread).
struct RunnerContext {
    std::function<std::shared_ptr<const Config>()> config;
    std::function<std::shared_ptr<const unitfleet::Inventory>()> inventory;
    std::function<void(std::vector<StatusAnswer>)> statusSeen;
    // The units a backup job saved, with when.
    std::function<void(std::vector<std::string> units, double at)> backedUp;
};

class CoreRunner : public JobRunner {
  public:
    explicit CoreRunner(RunnerContext context);
    ~CoreRunner() override;  // stops every job and waits for it to end

    std::vector<std::string> kinds() const override;
    std::vector<std::string> check(const std::string& kind,
                                   const nlohmann::json& params) const override;
    void start(JobRequest request, std::shared_ptr<JobProgress> progress) override;

  private:
    RunnerContext context_;
    std::shared_ptr<std::atomic<bool>> closing_ = std::make_shared<std::atomic<bool>>(false);
    std::mutex mutex_;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Worker> workers_;
};

// The outcome words of a job's unit results that put the unit in its retry
// set: the command line's failures ("refused", "not attempted", ...) and a
// status job's "down".
bool isRetryOutcome(const std::string& outcome);

}  // namespace unitfleetd
