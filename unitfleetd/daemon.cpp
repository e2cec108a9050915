// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/daemon.h"

#include <ctime>

#include "platform/file_stamp.h"
#include "platform/signal_wait.h"
#include "unitfleet/unit_work.h"
#include "unitfleetd/baselines.h"
#include "unitfleetd/schedule.h"

namespace unitfleetd {

std::shared_ptr<const unitfleet::Inventory> loadInventory(const Config& config,
                                                          std::vector<std::string>& errors) {
    auto text = unitfleet::readTextFile(config.inventory);
    if (!text) {
        errors.push_back("cannot read the inventory '" + config.inventory + "'");
        return nullptr;
    }
    auto inventory =
        std::make_shared<unitfleet::Inventory>(unitfleet::parseInventory(*text, config.inventory));
    errors.insert(errors.end(), inventory->errors.begin(), inventory->errors.end());
    for (const auto& [group, file] : config.baselines)
        if (!unitfleet::readTextFile(file))
            errors.push_back("cannot read the baseline of group '" + group + "': '" + file + "'");
    if (!errors.empty())
        return nullptr;
    return inventory;
}

// One daemon per state folder: a second one would mark the first one's
// running jobs interrupted. The system drops the lock when the process ends.
std::optional<platform::FileLock> lockStateFolder(const std::string& folder, std::string& error) {
    bool busy = false;
    auto lock = platform::FileLock::take(folder + "/unitfleetd.lock", busy, error);
    if (!lock && busy)
        error = "another unitfleetd uses the state folder '" + folder + "'";
    return lock;
}

std::unique_ptr<Daemon> Daemon::create(Config config, std::FILE* log,
                                       std::vector<std::string>& errors) {
    auto inventory = loadInventory(config, errors);
    if (!inventory)
        return nullptr;
    std::string error;
    auto store = StateStore::open(config.stateFolder, error);
    auto lock = store ? lockStateFolder(config.stateFolder, error) : std::nullopt;
    if (store && !lock) {
        errors.push_back(error);
        return nullptr;
    }
    auto interrupted = store ? store->markInterrupted(error) : std::nullopt;
    if (!interrupted) {
        errors.push_back(error);
        return nullptr;
    }
    return std::unique_ptr<Daemon>(new Daemon(std::make_shared<const Config>(std::move(config)),
                                              std::move(inventory), std::move(*lock),
                                              std::move(*store), log, *interrupted));
}

Daemon::Daemon(std::shared_ptr<const Config> config,
               std::shared_ptr<const unitfleet::Inventory> inventory, platform::FileLock lock,
               StateStore store, std::FILE* log, int interrupted)
    : config_(std::move(config)),
      inventory_(std::move(inventory)),
      log_(log),
      interrupted_(interrupted),
      lock_(std::move(lock)),
      store_(std::move(store)),
      accounts_(store_),
      detail_(config_->storeFolder),
      server_([this](HttpRequest request, Reply reply) {
          api_->handle(std::move(request), std::move(reply));
      }),
      jobs_(store_, hub_, counters_,
            [this](std::function<void()> fn) { server_.post(std::move(fn)); }) {
    context_.reset(new ApiContext{store_, accounts_, limiter_, jobs_, hub_, counters_, fleet_,
                                  config_, inventory_,
                                  [this](std::function<void()> work, std::function<void()> then) {
                                      server_.offload(std::move(work), std::move(then));
                                  },
                                  [this] { return server_.connections(); }, log_});
    context_->detail = &detail_;
    api_ = std::make_unique<Api>(*context_);
    auto post = [this](std::function<void()> fn) { server_.post(std::move(fn)); };
    RunnerContext runner;
    runner.config = [this] { return config_; };
    runner.inventory = [this] { return inventory_; };
    runner.statusSeen = [this, post](std::vector<StatusAnswer> answers) {
        post([this, answers = std::move(answers)] { recordAnswers(fleet_, hub_, answers); });
    };
    runner.backedUp = [this, post](std::vector<std::string> units, double at) {
        post([this, units = std::move(units), at] {
            for (const auto& unit : units) fleet_[unit].lastBackup = at;
        });
    };
    core_ = std::make_unique<CoreRunner>(std::move(runner));
    jobs_.setRunner(core_.get());
    poller_ = std::make_unique<StatusPoller>(fleet_, hub_, counters_, post);
    prober_ = std::make_unique<Prober>(post);
    context_->prober = prober_.get();
    noteLastBackups();
    detail_.refresh = [this] { refreshDrift(); };
    server_.post([this] { refreshDrift(); });
    server_.every(std::chrono::seconds(10), [this] { watchStore(); });
    if (interrupted_ > 0)
        say("unitfleetd: " + std::to_string(interrupted_) +
            " job(s) were cut short by the last stop and are marked interrupted");
}

Daemon::~Daemon() = default;

void Daemon::say(const std::string& line) {
    if (log_ == nullptr)
        return;
    std::fprintf(log_, "%s\n", line.c_str());
    std::fflush(log_);
}

bool Daemon::listen(std::string& error) {
    const Config& c = *config_;
    auto faults = startFaults(c);
    if (!faults.empty()) {
        error = faults.front();
        return false;
    }
    if (!c.tls() && !c.listen.loopback())
        say("unitfleetd: warning: serving plain HTTP on " + c.listen.host +
            " (insecure): passwords, sessions and tokens cross the network unencrypted");
    ServerSettings s;
    s.address = c.listen.host;
    s.port = c.listen.port;
    s.tlsCertificate = c.tlsCertificate;
    s.tlsKey = c.tlsKey;
    auto ms = [](double seconds) {
        return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    };
    s.idleTimeout = ms(c.idleTimeoutSeconds);
    s.requestTimeout = ms(c.requestTimeoutSeconds);
    s.writeTimeout = ms(c.writeTimeoutSeconds);
    s.maxConnections = c.maxConnections;
    s.maxHeaderBytes = c.maxHeaderBytes;
    s.maxBodyBytes = c.maxBodyBytes;
    s.answered = [this](int status) { ++counters_.httpRequests[status]; };
    if (!server_.listen(s, error))
        return false;
    say("unitfleetd: listening on " + std::string(c.tls() ? "https://" : "http://") +
        c.listen.host + ":" + std::to_string(server_.port()) + " with " +
        std::to_string(inventory_->units.size()) + " units");
    return true;
}

void Daemon::handleSignals() {
    server_.onSignal(platform::kHangUpSignal, [this] {
        auto faults = reload();
        if (faults.empty()) {
            say("unitfleetd: reloaded " + config_->path + " (" +
                std::to_string(inventory_->units.size()) + " units)");
            return;
        }
        say("unitfleetd: reload failed, the old configuration stays:");
        for (const auto& f : faults) say("  " + f);
    });
    for (int s : {platform::kTerminateSignal, platform::kInterruptSignal})
        server_.onSignal(s, [this] {
            say("unitfleetd: stopping");
            server_.stop();
        });
}

std::vector<std::string> Daemon::reload() {
    std::vector<std::string> errors;
    auto config = loadConfig(config_->path, errors);
    if (!config)
        return errors;
    auto inventory = loadInventory(*config, errors);
    if (!inventory)
        return errors;
    // What the listening socket and the state file were opened with stays
    // until a restart; the rest takes effect now.
    const Config& old = *config_;
    if (config->listen.host != old.listen.host || config->listen.port != old.listen.port ||
        config->tlsCertificate != old.tlsCertificate || config->tlsKey != old.tlsKey ||
        config->stateFolder != old.stateFolder)
        say("unitfleetd: the listen address, TLS files and state folder change only at a restart");
    auto kept = std::make_shared<Config>(std::move(*config));
    kept->listen = old.listen;
    kept->tlsCertificate = old.tlsCertificate;
    kept->tlsKey = old.tlsKey;
    kept->stateFolder = old.stateFolder;
    // A new backup schedule is planned afresh at the next tick.
    if (!(kept->backup == old.backup)) {
        nextBackup_ = std::chrono::steady_clock::time_point::max();
        backupSlot_ = 0;
    }
    config_ = std::move(kept);
    inventory_ = std::move(inventory);
    detail_.listings.setFolder(config_->storeFolder);
    refreshDrift();
    return {};
}

// A unit's listing in the store is rewritten by every backup that reached
// it, so its time is the unit's last backup, also across a restart.
void Daemon::noteLastBackups() {
    for (const auto& unit : inventory_->units) {
        auto stamp = platform::stampOf(unitfleet::listingPath(config_->storeFolder, unit));
        if (stamp && fleet_[unitKey(unit)].lastBackup == 0)
            fleet_[unitKey(unit)].lastBackup = static_cast<double>(stamp->modifiedNs) / 1e9;
    }
}

AskSettings Daemon::askSettings() const {
    AskSettings s;
    s.timeout =
        std::chrono::milliseconds(static_cast<long long>(config_->unitTimeoutSeconds * 1000));
    s.workers = config_->concurrency;
    return s;
}

void Daemon::startSchedules() {
    if (scheduled_)
        return;
    scheduled_ = true;
    nextPoll_ = std::chrono::steady_clock::now();
    nextBackup_ = std::chrono::steady_clock::time_point::max();
    if (config_->backup.enabled)
        planBackup(false);
    // One tick a second looks at both schedules, so a reload's new interval
    // counts from the next tick.
    server_.every(std::chrono::milliseconds(1000), [this] { tick(); });
}

void Daemon::tick() {
    auto now = std::chrono::steady_clock::now();
    if (now >= nextPoll_) {
        nextPoll_ = now + std::chrono::milliseconds(
                              static_cast<long long>(config_->statusIntervalSeconds * 1000));
        if (!pollNow())
            say("unitfleetd: status poll skipped: the last one is still under way");
    }
    // A reload may turn the backup on, or off (then it waits, and runs only
    // if turned on again).
    if (config_->backup.enabled && nextBackup_ == std::chrono::steady_clock::time_point::max())
        planBackup(false);
    if (config_->backup.enabled && now >= nextBackup_)
        scheduledBackup();
}

// The next scheduled backup, its jitter drawn anew: `every` seconds from
// now, or the next day's daily_at. After a run (`ran`) that is the day after
// the run's own, however late its jitter or its waiting for busy units made
// it start.
void Daemon::planBackup(bool ran) {
    const BackupSchedule& b = config_->backup;
    double wait = b.everySeconds;
    if (b.everySeconds <= 0) {
        std::time_t now = std::time(nullptr);
        if (ran && backupSlot_ != 0)
            backupSlot_ = followingDailyRun(backupSlot_, b.hour, b.minute);
        if (!ran || backupSlot_ <= now)
            backupSlot_ = nextDailyRun(now, b.hour, b.minute);
        wait = std::difftime(backupSlot_, now);
    }
    wait += drawJitter(b.jitterSeconds);
    nextBackup_ = std::chrono::steady_clock::now() +
                  std::chrono::milliseconds(static_cast<long long>(wait * 1000));
}

bool Daemon::pollNow() {
    return poller_->start(inventory_->units, askSettings());
}

std::optional<JobRecord> Daemon::scheduledBackup() {
    StartRefusal refusal;
    std::vector<std::string> units;
    for (const auto& unit : inventory_->units) units.push_back(unitKey(unit));
    auto job = jobs_.start("backup", nlohmann::json::object(), units, "schedule", refusal);
    auto now = std::chrono::steady_clock::now();
    nlohmann::json event = {{"kind", "backup"}};
    if (job) {
        planBackup(true);
        event.update({{"state", "started"}, {"job", job->id}, {"message", ""}});
        say("unitfleetd: scheduled backup started as job " + std::to_string(job->id));
    } else if (refusal.status == 409) {
        // Skipped, not queued: units in another job now; tried again each
        // minute until every unit is free.
        nextBackup_ = now + std::chrono::seconds(60);
        event.update({{"state", "skipped"}, {"job", nullptr}, {"message", refusal.message}});
        say("unitfleetd: scheduled backup skipped, tried again in a minute: " + refusal.message);
    } else {
        planBackup(true);
        event.update({{"state", "refused"}, {"job", nullptr}, {"message", refusal.message}});
        say("unitfleetd: scheduled backup refused: " + refusal.message);
    }
    hub_.publish("schedule", "schedule",
                 event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    return job;
}

void Daemon::refreshDrift() {
    // One count at a time; an ask meanwhile makes one more when it ends.
    if (counting_) {
        countAgain_ = true;
        return;
    }
    counting_ = true;
    auto counts = std::make_shared<std::map<std::string, int>>();
    auto head = std::make_shared<std::string>();
    server_.offload(
        [this, config = config_, inventory = inventory_, counts, head] {
            std::string error;
            *head = detail_.listings.head(error).value_or("");
            *counts = countDrift(*config, *inventory, detail_.listings);
        },
        [this, counts, head] {
            detail_.drift = std::move(*counts);
            detail_.driftHead = *head;
            for (auto& [key, status] : fleet_) status.driftModes = driftModesOf(detail_, key);
            counting_ = false;
            if (countAgain_) {
                countAgain_ = false;
                refreshDrift();
            }
        });
}

void Daemon::watchStore() {
    auto head = std::make_shared<std::optional<std::string>>();
    server_.offload(
        [this, head] {
            std::string error;
            *head = detail_.listings.head(error);
        },
        [this, head] {
            if (*head && **head != detail_.driftHead)
                refreshDrift();
        });
}

}  // namespace unitfleetd
