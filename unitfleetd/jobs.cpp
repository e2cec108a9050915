// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/jobs.h"

#include <algorithm>
#include <cstdio>

namespace unitfleetd {

using nlohmann::json;

class Jobs::Progress : public JobProgress {
  public:
    Progress(Jobs& jobs, std::int64_t id)
        : jobs_(jobs), store_(jobs.store_), post_(jobs.post_), alive_(jobs.alive_), id_(id) {}

    void unitStarted(const std::string& unit) override {
        record(store_.unitStarted(id_, unit, error_));
        publish("unit", {{"job", id_}, {"unit", unit}, {"outcome", "running"}});
    }
    void unitFinished(const std::string& unit, const std::string& outcome,
                      const std::string& detail) override {
        record(store_.unitFinished(id_, unit, outcome, detail, error_));
        publish("unit", {{"job", id_}, {"unit", unit}, {"outcome", outcome}, {"detail", detail}});
    }
    void finished(const std::string& state, const std::string& message) override {
        if (done_.exchange(true))
            return;
        record(store_.setJobState(id_, state, message, error_));
        post_([alive = alive_, id = id_, state, message, &jobs = jobs_] {
            if (!*alive)
                return;
            jobs.hub_.publish("job/" + std::to_string(id), "job",
                              json{{"job", id}, {"state", state}, {"message", message}}.dump());
            jobs.ended(id, state);
        });
    }
    bool stopRequested() const override { return stop_; }
    void requestStop() { stop_ = true; }

  private:
    void publish(const std::string& name, json event) {
        post_([alive = alive_, &hub = jobs_.hub_, topic = "job/" + std::to_string(id_), name,
               text = event.dump(-1, ' ', false, json::error_handler_t::replace)] {
            if (*alive)
                hub.publish(topic, name, text);
        });
    }
    // A result that cannot be written is said on stderr: the job goes on,
    // and the unit will show as reached by what was written before.
    void record(bool ok) {
        if (!ok)
            std::fprintf(stderr, "unitfleetd: job %lld: %s\n", (long long)id_, error_.c_str());
    }

    Jobs& jobs_;
    StateStore& store_;
    Poster post_;
    std::shared_ptr<std::atomic<bool>> alive_;
    std::int64_t id_;
    std::atomic<bool> stop_{false}, done_{false};
    thread_local static inline std::string error_;
};

Jobs::Jobs(StateStore& store, EventHub& hub, DaemonCounters& counters, Poster post)
    : store_(store), hub_(hub), counters_(counters), post_(std::move(post)) {}

Jobs::~Jobs() {
    *alive_ = false;
}

std::vector<std::string> Jobs::kinds() const {
    return runner_ ? runner_->kinds() : std::vector<std::string>{};
}

std::optional<JobRecord> Jobs::start(const std::string& kind, const json& params,
                                     const std::vector<std::string>& units, const std::string& user,
                                     StartRefusal& refusal) {
    auto known = kinds();
    if (std::find(known.begin(), known.end(), kind) == known.end()) {
        std::string list;
        for (auto& k : known) list += (list.empty() ? "" : ", ") + k;
        refusal = {known.empty() ? 501 : 400,
                   "unknown job kind '" + kind +
                       "' (this daemon runs: " + (list.empty() ? "none yet" : list) + ")"};
        return std::nullopt;
    }
    if (auto faults = runner_->check(kind, params); !faults.empty()) {
        std::string text;
        for (auto& f : faults) text += (text.empty() ? "" : "; ") + f;
        refusal = {400, text};
        return std::nullopt;
    }
    if (units.empty()) {
        refusal = {400, "the job has no units"};
        return std::nullopt;
    }
    std::vector<std::string> taken;
    for (const auto& unit : units)
        if (auto it = busy_.find(unit); it != busy_.end() && stillRunning(it->second))
            taken.push_back(unit + " (job " + std::to_string(it->second) + ")");
    if (!taken.empty()) {
        std::string text;
        for (std::size_t i = 0; i < taken.size() && i < 10; ++i) text += (i ? ", " : "") + taken[i];
        if (taken.size() > 10)
            text += " and " + std::to_string(taken.size() - 10) + " more";
        refusal = {409, "refused: units already in a job: " + text};
        return std::nullopt;
    }
    std::string error;
    auto id = store_.createJob(kind, params.dump(), user, units, error);
    if (!id || !store_.setJobState(*id, "running", "", error)) {
        refusal = {500, "cannot record the job: " + error};
        return std::nullopt;
    }
    for (const auto& unit : units) busy_[unit] = *id;
    auto progress = std::make_shared<Progress>(*this, *id);
    active_[*id] = progress;
    ++counters_.jobsStarted;
    counters_.jobsRunning = running();
    hub_.publish("job/" + std::to_string(*id), "job",
                 json{{"job", *id}, {"state", "running"}, {"kind", kind}}.dump());
    runner_->start(JobRequest{*id, kind, params, units, user}, progress);
    return store_.job(*id);
}

// A job's end is in the database before the table hears of it (through the
// server's queue): the database decides.
bool Jobs::stillRunning(std::int64_t id) {
    if (!active_.count(id))
        return false;
    auto job = store_.job(id);
    return job && (job->state == "running" || job->state == "queued");
}

bool Jobs::stop(std::int64_t id) {
    auto it = active_.find(id);
    if (it == active_.end() || !stillRunning(id))
        return false;
    it->second->requestStop();
    return true;
}

void Jobs::ended(std::int64_t id, const std::string& state) {
    active_.erase(id);
    std::erase_if(busy_, [id](const auto& entry) { return entry.second == id; });
    ++counters_.jobsFinished[state];
    counters_.jobsRunning = running();
}

json jobJson(const JobRecord& job) {
    json params = json::parse(job.params, nullptr, false);
    return {{"id", job.id},
            {"kind", job.kind},
            {"state", job.state},
            {"started_by", job.startedBy},
            {"params", params.is_discarded() ? json::object() : params},
            {"created", job.created},
            {"finished", job.finished > 0 ? json(job.finished) : json(nullptr)},
            {"units_total", job.unitsTotal},
            {"units_reached", job.unitsReached},
            {"message", job.message}};
}

}  // namespace unitfleetd
