// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/core_runner.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "unitfleet/commands.h"
#include "unitfleet/outcome.h"
#include "unitfleet/report.h"
#include "unitfleet/rollout.h"
#include "unitfleetd/metrics.h"
#include "unitfleetd/state_store.h"

namespace unitfleetd {
namespace {

using nlohmann::json;
using unitfleet::InventoryUnit;

// A job's options, read from its params and checked against the
// configuration; every fault is noted.
struct JobParams {
    std::string baseline, ini, revision;
    bool commit = false, restart = false, skipUnknown = false, force = false;
    std::string batch, maxFail;
    int canary = 0;
};

class ParamReader {
  public:
    ParamReader(const json& params, std::vector<std::string>& faults)
        : params_(params), faults_(faults) {}
    void text(const char* key, std::string& out) {
        known_.push_back(key);
        if (!params_.contains(key))
            return;
        if (!params_[key].is_string() || params_[key].get<std::string>().empty())
            return fault(key, "must be a non-empty string");
        out = params_[key].get<std::string>();
    }
    void flag(const char* key, bool& out) {
        known_.push_back(key);
        if (!params_.contains(key))
            return;
        if (!params_[key].is_boolean())
            return fault(key, "must be true or false");
        out = params_[key].get<bool>();
    }
    // "N" or "N%": as the command line's --batch and --max-fail; a number too.
    void share(const char* key, std::string& out, long least) {
        known_.push_back(key);
        if (!params_.contains(key))
            return;
        const json& v = params_[key];
        std::string text = v.is_number_unsigned() ? std::to_string(v.get<std::uint64_t>())
                           : v.is_string()        ? v.get<std::string>()
                                                  : std::string("?");
        auto share = unitfleet::parseShare(text);
        if (!share || share->value < least)
            return fault(key, "takes N or N% (" + std::to_string(least) +
                                  " or more units, or a share of them)");
        out = text;
    }
    void count(const char* key, int& out, int most) {
        known_.push_back(key);
        if (!params_.contains(key))
            return;
        if (!params_[key].is_number_integer() || params_[key].get<long long>() < 0 ||
            params_[key].get<long long>() > most)
            return fault(key, "must be a whole number from 0 to " + std::to_string(most));
        out = params_[key].get<int>();
    }
    void fault(const std::string& key, const std::string& why) {
        faults_.push_back("params." + key + ": " + why);
    }
    void rejectUnknown() {
        for (const auto& [key, value] : params_.items())
            if (std::find(known_.begin(), known_.end(), key) == known_.end())
                fault(key, "unknown for this kind of job");
    }

  private:
    const json& params_;
    std::vector<std::string>& faults_;
    std::vector<std::string> known_;
};

std::vector<std::string> readParams(const std::string& kind, const json& params,
                                    const Config& config, JobParams& p) {
    std::vector<std::string> faults;
    ParamReader r(params, faults);
    if (kind == "apply" || kind == "restore") {
        r.flag("commit", p.commit);
        r.flag("restart", p.restart);
        r.flag("skip_unknown", p.skipUnknown);
        r.share("batch", p.batch, 1);
        r.share("max_fail", p.maxFail, 0);
        r.count("canary", p.canary, 1000000);
        if (p.restart && !p.commit)
            r.fault("restart", "needs commit: a restart drops uncommitted values");
        if (!p.maxFail.empty() && p.batch.empty() && p.canary == 0)
            r.fault("max_fail", "needs batch or canary: it is checked after each batch");
    }
    if (kind == "apply") {
        r.text("baseline", p.baseline);
        r.text("ini", p.ini);
        if (p.baseline.empty() == p.ini.empty())
            r.fault("baseline", "give either a baseline (a group's) or ini text, not both");
        else if (!p.baseline.empty() && !config.baselines.count(p.baseline))
            r.fault("baseline", "no baseline is configured for group '" + p.baseline + "'");
    }
    if (kind == "restore") {
        r.text("revision", p.revision);
        r.flag("force", p.force);
        if (p.revision.empty())
            r.fault("revision", "is needed: the store's revision to restore from");
    }
    r.rejectUnknown();
    return faults;
}

// The text a run prints, kept in a scratch file the system removes.
class Capture {
  public:
    Capture() : file_(std::tmpfile()) {}
    ~Capture() {
        if (file_ != nullptr)
            std::fclose(file_);
    }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    std::FILE* file() const { return file_; }
    std::string text() const {
        std::string out;
        if (file_ == nullptr)
            return out;
        std::fflush(file_);
        std::rewind(file_);
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0 && out.size() < (1 << 20))
            out.append(buffer, n);
        return out;
    }

  private:
    std::FILE* file_;
};

// The lines of a run's output that sum it up: its totals, why a rollout or
// the run stopped, the commits, the report and retry files; or every line
// of its error text.
std::string summaryLines(const std::string& out, const std::string& command) {
    static const char* const kHeads[] = {"rollout:", "stopped:", "history:", "report:", "retry:"};
    std::string message;
    std::size_t at = 0;
    while (at < out.size()) {
        std::size_t end = std::min(out.find('\n', at), out.size());
        std::string line = out.substr(at, end - at);
        at = end + 1;
        bool wanted = line.rfind(command + ": ", 0) == 0;
        for (const char* head : kHeads) wanted = wanted || line.rfind(head, 0) == 0;
        if (wanted)
            message += (message.empty() ? "" : "\n") + line;
    }
    return message;
}

// The run's error text without its progress lines ("unitfleet: [3/10] ..."):
// the job's results hold those already.
std::string errorLines(const std::string& err) {
    std::string message;
    std::size_t at = 0;
    while (at < err.size()) {
        std::size_t end = std::min(err.find('\n', at), err.size());
        std::string line = err.substr(at, end - at);
        at = end + 1;
        if (line.empty() || line.rfind("unitfleet: [", 0) == 0 ||
            line.rfind("unitfleet: batch ", 0) == 0)
            continue;
        message += (message.empty() ? "" : "\n") + line;
    }
    return message;
}

struct JobRun {
    JobRequest request;
    std::shared_ptr<JobProgress> progress;
    std::shared_ptr<const Config> config;
    std::vector<InventoryUnit> units;
    bool someUnits = false;
    JobParams params;
    std::shared_ptr<std::atomic<bool>> closing;
    RunnerContext* context = nullptr;
};

void runStatusJob(JobRun& job) {
    const Config& c = *job.config;
    AskSettings settings;
    settings.timeout =
        std::chrono::milliseconds(static_cast<long long>(c.unitTimeoutSeconds * 1000));
    settings.workers = c.concurrency;
    unitfleet::RunControl control;
    control.stop = [&] { return job.progress->stopRequested() || *job.closing; };
    auto& progress = *job.progress;
    auto answers = askUnits(job.units, settings, &control, [&](const StatusAnswer& a) {
        progress.unitStarted(a.unit);
        progress.unitFinished(a.unit, !a.up ? "down" : a.ok ? "ok" : "not ok", a.reason);
    });
    std::size_t up = 0, ok = 0;
    for (const auto& a : answers) up += a.up ? 1 : 0, ok += a.ok ? 1 : 0;
    std::set<std::string> asked;
    for (const auto& a : answers) asked.insert(a.unit);
    for (std::size_t i = 0; i < job.units.size(); ++i)
        if (!asked.count(unitKey(job.units[i])))
            progress.unitFinished(unitKey(job.units[i]), "interrupted",
                                  "interrupted (before it was contacted)");
    if (job.context->statusSeen)
        job.context->statusSeen(answers);
    std::string totals = "status: " + std::to_string(job.units.size()) + " units, " +
                         std::to_string(up) + " up, " + std::to_string(ok) + " OK, " +
                         std::to_string(answers.size() - up) + " down";
    if (answers.size() < job.units.size())
        return progress.finished("stopped", totals + "\nstopped: on request");
    progress.finished(ok == job.units.size() ? "done" : "failed", totals);
}

void runUnitJob(JobRun& job) {
    const Config& c = *job.config;
    const JobRequest& request = job.request;
    auto& progress = *job.progress;
    Capture out, err;
    if (out.file() == nullptr || err.file() == nullptr)
        return progress.finished("failed", "cannot make a scratch file for the job's output");

    unitfleet::RunControl control;
    control.stop = [&] { return progress.stopRequested() || *job.closing; };
    control.author = request.user;
    control.started = [&](std::size_t i) { progress.unitStarted(unitKey(job.units[i])); };
    std::vector<std::string> saved;
    control.finished = [&](std::size_t i, const unitfleet::UnitResult& r) {
        if (r.outcome == unitfleet::Outcome::Saved)
            saved.push_back(unitKey(job.units[i]));
        progress.unitFinished(unitKey(job.units[i]), std::string(unitfleet::outcomeName(r.outcome)),
                              unitfleet::reasonText(r));
    };
    unitfleet::RunSummary summary;
    bool ended = false;
    control.ended = [&](const unitfleet::RunSummary& s) {
        summary = s;
        ended = true;
    };

    unitfleet::UnitRunOptions run;
    run.inventory = c.inventory;
    run.units = job.units;
    run.someUnits = job.someUnits;
    run.jobs = c.concurrency;
    run.timeoutSeconds = c.unitTimeoutSeconds;
    run.control = &control;
    unitfleet::Streams streams{out.file(), err.file(), false};
    const JobParams& p = job.params;
    unitfleet::RolloutOptions rollout{p.batch, p.maxFail, p.canary};
    int status = unitfleet::kExitInputError;
    if (request.kind == "backup") {
        unitfleet::BackupOptions o;
        o.run = run;
        o.dir = c.storeFolder;
        o.git = true;
        status = unitfleet::runBackup(o, streams);
    } else if (request.kind == "apply") {
        unitfleet::ApplyOptions o;
        o.run = run;
        if (!p.baseline.empty()) {
            o.ini = c.baselines.at(p.baseline);
        } else {
            o.ini = "the ini text of job " + std::to_string(request.id);
            o.iniText = p.ini;
        }
        o.commit = p.commit;
        o.restart = p.restart;
        o.gitDir = c.storeFolder;
        o.skipUnknown = p.skipUnknown;
        o.rollout = rollout;
        status = unitfleet::runApply(o, streams);
    } else {
        unitfleet::RestoreOptions o;
        o.run = run;
        o.source = c.storeFolder + "@" + p.revision;
        o.commit = p.commit;
        o.restart = p.restart;
        o.backupDir = c.stateFolder + "/jobs/" + std::to_string(request.id);
        o.skipUnknown = p.skipUnknown;
        o.force = p.force;
        o.rollout = rollout;
        status = unitfleet::runRestore(o, streams);
    }
    if (!saved.empty() && job.context->backedUp && request.kind == "backup")
        job.context->backedUp(saved, nowSeconds());
    std::string message = summaryLines(out.text(), request.kind);
    std::string errors = errorLines(err.text());
    if (!ended) {  // refused before any unit was contacted
        for (const auto& unit : job.units) progress.unitFinished(unitKey(unit), "not run", errors);
        return progress.finished("failed", errors);
    }
    if (!errors.empty())
        message += (message.empty() ? "" : "\n") + errors;
    if (summary.stopRequested)
        return progress.finished("stopped", message);
    progress.finished(status == unitfleet::kExitDone ? "done" : "failed", message);
}

}  // namespace

bool isRetryOutcome(const std::string& outcome) {
    if (outcome == "down" || outcome == "not ok" || outcome == "not run")
        return true;
    for (int i = 0; i <= static_cast<int>(unitfleet::Outcome::NoListing); ++i) {
        auto o = static_cast<unitfleet::Outcome>(i);
        if (unitfleet::outcomeName(o) == outcome)
            return unitfleet::isFailure(o);
    }
    return false;
}

CoreRunner::CoreRunner(RunnerContext context) : context_(std::move(context)) {}

CoreRunner::~CoreRunner() {
    *closing_ = true;
    std::lock_guard lock(mutex_);
    for (auto& w : workers_)
        if (w.thread.joinable())
            w.thread.join();
}

std::vector<std::string> CoreRunner::kinds() const {
    return {"backup", "apply", "restore", "status"};
}

std::vector<std::string> CoreRunner::check(const std::string& kind, const json& params) const {
    JobParams p;
    return readParams(kind, params, *context_.config(), p);
}

void CoreRunner::start(JobRequest request, std::shared_ptr<JobProgress> progress) {
    auto job = std::make_shared<JobRun>();
    job->config = context_.config();
    auto inventory = context_.inventory();
    std::map<std::string, const InventoryUnit*> byKey;
    for (const auto& unit : inventory->units) byKey.emplace(unitKey(unit), &unit);
    for (const auto& key : request.units)
        if (auto it = byKey.find(key); it != byKey.end())
            job->units.push_back(*it->second);
    job->someUnits = job->units.size() != inventory->units.size();
    readParams(request.kind, request.params, *job->config, job->params);
    job->request = std::move(request);
    job->progress = std::move(progress);
    job->closing = closing_;
    job->context = &context_;
    std::lock_guard lock(mutex_);
    // Threads of jobs that ended are joined as new ones start.
    std::erase_if(workers_, [](Worker& w) {
        if (!*w.done)
            return false;
        w.thread.join();
        return true;
    });
    auto done = std::make_shared<std::atomic<bool>>(false);
    workers_.push_back({std::thread([job, done] {
                            if (job->request.kind == "status")
                                runStatusJob(*job);
                            else
                                runUnitJob(*job);
                            *done = true;
                        }),
                        done});
}

}  // namespace unitfleetd
