// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/run_control.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>

#include "unitfleet/pool.h"
#include "unitfleet/rollout.h"

namespace unitfleet {
namespace {

// A run's own stop ends the taking of indexes, as a stop signal does, and
// leaves the process's signal alone.
TEST(RunControl, ItsStopEndsTheTakingOfIndexes) {
    struct Case {
        std::size_t count;
        std::size_t stopAfter;  // indexes done before the stop says yes
        std::size_t taken;
    } cases[] = {{10, 0, 0}, {10, 3, 3}, {10, 10, 10}, {10, 20, 10}, {0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + " indexes, stop after " +
                     std::to_string(c.stopAfter));
        std::atomic<std::size_t> done{0};
        RunControl control;
        control.stop = [&] { return done >= c.stopAfter; };
        std::string error;
        std::size_t taken = forEachIndex(
            c.count, 1, [&](std::size_t, protocol::ClientSession&) { ++done; }, error, &control);
        EXPECT_EQ(taken, c.taken);
        EXPECT_EQ(done, c.taken);
    }
    EXPECT_FALSE(stopAsked(nullptr));
    RunControl none;
    EXPECT_FALSE(stopAsked(&none));
}

// Units the run never contacts: a rollout stopped by its own stop marks
// the rest interrupted and says it was the run's stop, not a signal.
TEST(RunControl, ARolloutStoppedOnRequestSaysSo) {
    std::vector<InventoryUnit> units(6);
    for (std::size_t i = 0; i < units.size(); ++i) units[i].address = "127.0.0.1";
    for (auto& u : units) u.port = 1;  // refused at once, on loopback
    RunControl control;
    std::set<std::size_t> started;
    std::mutex mutex;
    control.started = [&](std::size_t i) {
        std::lock_guard lock(mutex);
        started.insert(i);
    };
    control.stop = [&] {
        std::lock_guard lock(mutex);
        return started.size() >= 2;
    };
    WorkSettings settings;
    settings.timeout = std::chrono::milliseconds(2000);
    settings.control = &control;
    RolloutPlan plan;
    plan.batch = Share{2, false};
    Rollout r = runRollout(Command::Backup, units, settings, 1, plan, nullptr);
    EXPECT_TRUE(r.stopRequested);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(started, (std::set<std::size_t>{0, 1}));
    for (std::size_t i = 2; i < units.size(); ++i)
        EXPECT_EQ(r.results[i].outcome, Outcome::Interrupted) << i;
}

}  // namespace
}  // namespace unitfleet
