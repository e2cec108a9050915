// SPDX-License-Identifier: Apache-2.0
// The daemon as a whole: its configuration and inventory, the state file,
// accounts, jobs and the API behind the HTTP server, all owned here and run
// by the server's one thread.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_lock.h"
#include "unitfleetd/accounts.h"
#include "unitfleetd/api.h"
#include "unitfleetd/config.h"
#include "unitfleetd/core_runner.h"
#include "unitfleetd/event_hub.h"
#include "unitfleetd/fleet_status.h"
#include "unitfleetd/http_server.h"
#include "unitfleetd/jobs.h"
#include "unitfleetd/login_limiter.h"
#include "unitfleetd/metrics.h"
#include "unitfleetd/state_store.h"
#include "unitfleetd/status_poll.h"
#include "unitfleetd/unit_detail.h"

namespace unitfleetd {

// Reads and checks the inventory and the baselines a configuration names.
std::shared_ptr<const unitfleet::Inventory> loadInventory(const Config& config,
                                                          std::vector<std::string>& errors);

class Daemon {
  public:
    // Everything but the listening socket; `log` gets warnings and audit lines.
    static std::unique_ptr<Daemon> create(Config config, std::FILE* log,
                                          std::vector<std::string>& errors);
    ~Daemon();

    bool listen(std::string& error);
    std::uint16_t port() const { return server_.port(); }
    // SIGHUP reloads, SIGTERM and SIGINT stop.
    void handleSignals();
    void run() { server_.run(); }
    void stop() { server_.stop(); }
    // Reads the configuration file and inventory again; on any fault the
    // old ones stay and the faults are returned. Call on the server's thread.
    std::vector<std::string> reload();
    void setRunner(JobRunner* runner) { jobs_.setRunner(runner); }
    JobRunner& coreRunner() { return *core_; }

    // The schedules: the status poll every status_interval (the first at
    // once) and the daily backup, on the server's timer. main() starts them;
    // tests start them when they want them.
    void startSchedules();
    // One poll cycle of every unit now, unless one is under way (false).
    // Call on the server's thread.
    bool pollNow();
    // The scheduled backup now, as a job of the user "schedule": nothing when
    // it was skipped (units busy in other jobs) or refused; said in the log
    // and as a "schedule" event either way. Call on the server's thread.
    std::optional<JobRecord> scheduledBackup();

    HttpServer& server() { return server_; }
    StateStore& store() { return store_; }
    Accounts& accounts() { return accounts_; }
    FleetStatus& fleet() { return fleet_; }
    EventHub& hub() { return hub_; }
    const Api& api() const { return *api_; }
    UnitDetail& detail() { return detail_; }
    int interruptedAtStart() const { return interrupted_; }
    std::shared_ptr<const Config> config() const { return config_; }
    std::shared_ptr<const unitfleet::Inventory> inventory() const { return inventory_; }

  private:
    Daemon(std::shared_ptr<const Config> config,
           std::shared_ptr<const unitfleet::Inventory> inventory, platform::FileLock lock, StateStore store,
           std::FILE* log, int interrupted);
    void say(const std::string& line);
    void tick();
    AskSettings askSettings() const;
    void noteLastBackups();
    void planBackup(bool ran);
    // Counts every unit's drift from its baseline again, in the background.
    void refreshDrift();
    // Counts again when the store's HEAD has moved since the last count.
    void watchStore();

    std::shared_ptr<const Config> config_;
    std::shared_ptr<const unitfleet::Inventory> inventory_;
    std::FILE* log_;
    int interrupted_;
    platform::FileLock lock_;
    StateStore store_;
    Accounts accounts_;
    LoginLimiter limiter_;
    EventHub hub_;
    DaemonCounters counters_;
    FleetStatus fleet_;
    UnitDetail detail_;
    bool counting_ = false, countAgain_ = false;
    HttpServer server_;
    Jobs jobs_;
    std::unique_ptr<ApiContext> context_;
    std::unique_ptr<Api> api_;
    // Last: their threads post to the server and write to the state above,
    // so they stop and are waited for first.
    std::unique_ptr<CoreRunner> core_;
    std::unique_ptr<StatusPoller> poller_;
    std::unique_ptr<Prober> prober_;
    bool scheduled_ = false;
    std::chrono::steady_clock::time_point nextPoll_{}, nextBackup_{};
    std::time_t backupSlot_ = 0;  // the daily_at the next backup is for
};

}  // namespace unitfleetd
