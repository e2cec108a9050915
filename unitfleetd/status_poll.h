// SPDX-License-Identifier: Apache-2.0
// The status question put to many units at once (the poll, a status job,
// /probe), and what its answers do to the fleet's status: the fields, the
// window of recent reply times, and an event on the hub for every unit whose
// status changed. Asking runs on worker threads; recording runs on the
// server's thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "unitfleet/inventory.h"
#include "unitfleet/run_control.h"
#include "unitfleetd/event_hub.h"
#include "unitfleetd/fleet_status.h"
#include "unitfleetd/metrics.h"

namespace unitfleetd {

struct StatusAnswer {
    std::string unit;  // the unit's key
    std::string address;
    bool up = false;
    bool ok = false;
    double seconds = 0;
    std::optional<std::string> statusText;  // the unit's UnitStatus, as it sent it
    std::optional<std::string> unitId;  // asked only when not known yet
    std::string reason;                 // "UnitStatus OK", "timed out", ...
    double at = 0;                      // seconds since the epoch
};

struct AskSettings {
    std::chrono::milliseconds timeout{5000};
    int workers = 32;
    std::string okStatus = "OK";
    // Keys of units whose UnitID is known: not asked again while they are up.
    std::function<bool(const std::string& key)> knowsId;
};

// Asks every unit, `workers` at a time; `answered` hears of each as it
// comes (from the workers' threads, one call at a time). A stop through
// `control` leaves the units not asked out of the result.
std::vector<StatusAnswer> askUnits(const std::vector<unitfleet::InventoryUnit>& units,
                                   const AskSettings& settings,
                                   const unitfleet::RunControl* control,
                                   const std::function<void(const StatusAnswer&)>& answered);

// Records the answers in `fleet` and publishes a "status" event for each
// unit whose state, status text or UnitID changed (its first answer too).
void recordAnswers(FleetStatus& fleet, EventHub& hub, const std::vector<StatusAnswer>& answers);

// One unit's answer as the exposition format (for /probe).
std::string probeExposition(const unitfleet::InventoryUnit& unit, const StatusAnswer& answer,
                            double probeSeconds);

// The status poll: one cycle at a time on a thread of its own, its answers
// posted to the server's thread.
class StatusPoller {
  public:
    using Post = std::function<void(std::function<void()>)>;
    StatusPoller(FleetStatus& fleet, EventHub& hub, DaemonCounters& counters, Post post);
    ~StatusPoller();  // waits for a cycle under way, after asking it to stop

    // Starts a cycle over `units` unless one is under way (then false).
    // Call on the server's thread.
    bool start(std::vector<unitfleet::InventoryUnit> units, AskSettings settings);
    bool busy() const { return *busy_; }

  private:
    FleetStatus& fleet_;
    EventHub& hub_;
    DaemonCounters& counters_;
    Post post_;
    std::shared_ptr<bool> busy_ = std::make_shared<bool>(false);  // server's thread only
    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
    std::thread thread_;
};

// /probe's questions: asked on a thread of its own, every question waiting
// at a time asked together (so a silent unit holds up no other probe for
// longer than its time-out), each answer posted to the server's thread.
class Prober {
  public:
    using Post = std::function<void(std::function<void()>)>;
    using Answered = std::function<void(StatusAnswer answer, double seconds)>;
    static constexpr std::size_t kMostWaiting = 256;

    explicit Prober(Post post);
    ~Prober();
    // False when kMostWaiting probes wait already. `answered` runs on the
    // server's thread. Thread-safe.
    bool ask(unitfleet::InventoryUnit unit, AskSettings settings, Answered answered);

  private:
    struct Question {
        unitfleet::InventoryUnit unit;
        AskSettings settings;
        Answered answered;
    };
    void serve();

    Post post_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Question> waiting_;
    bool closing_ = false;
    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
    std::thread thread_;
};

}  // namespace unitfleetd
