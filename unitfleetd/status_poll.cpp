// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/status_poll.h"

#include <chrono>
#include <cmath>
#include <mutex>
#include <nlohmann/json.hpp>

#include "unitfleet/pool.h"
#include "unitfleet/prometheus.h"
#include "unitfleet/status.h"
#include "unitfleetd/state_store.h"

namespace unitfleetd {

using nlohmann::json;

std::vector<StatusAnswer> askUnits(const std::vector<unitfleet::InventoryUnit>& units,
                                   const AskSettings& settings,
                                   const unitfleet::RunControl* control,
                                   const std::function<void(const StatusAnswer&)>& answered) {
    std::vector<std::optional<StatusAnswer>> found(units.size());
    std::mutex mutex;
    std::string error;
    unitfleet::forEachIndex(
        units.size(), settings.workers,
        [&](std::size_t i, protocol::ClientSession& session) {
            const auto& unit = units[i];
            StatusAnswer a;
            a.unit = unitKey(unit);
            a.address = unit.address;
            a.at = nowSeconds();
            auto state =
                unitfleet::askUnitStatus(session, unit, settings.timeout, settings.okStatus);
            a.up = state.up;
            a.ok = state.ok;
            a.seconds = state.answer.seconds;
            if (state.answer.named)
                a.statusText = state.answer.value;
            a.reason = unitfleet::statusReason(state);
            // The UnitID is asked once while the unit stays up: it changes
            // only with the unit, and the poll's cost stays one question.
            if (a.up && !(settings.knowsId && settings.knowsId(a.unit))) {
                auto id = unitfleet::askMode(session, unit.address, unit.port, "UnitID",
                                             settings.timeout);
                if (id.named)
                    a.unitId = id.value;
            }
            std::lock_guard lock(mutex);
            if (answered)
                answered(a);
            found[i] = std::move(a);
        },
        error, control);
    std::vector<StatusAnswer> out;
    for (auto& a : found)
        if (a)
            out.push_back(std::move(*a));
    return out;
}

namespace {

json eventOf(const StatusAnswer& a, const UnitStatus& s) {
    return {{"unit", a.unit},
            {"address", a.address},
            {"up", s.up},
            {"status_ok", s.statusOk},
            {"status_text", s.statusText ? json(*s.statusText) : json(nullptr)},
            {"unit_id", s.unitId},
            {"reply_seconds", s.up ? json(s.replySeconds) : json(nullptr)},
            {"checked", s.checked}};
}

}  // namespace

void recordAnswers(FleetStatus& fleet, EventHub& hub, const std::vector<StatusAnswer>& answers) {
    for (const auto& a : answers) {
        bool known = fleet.count(a.unit) != 0;
        UnitStatus& s = fleet[a.unit];
        UnitStatus before = s;
        s.up = a.up;
        s.statusOk = a.ok;
        s.replySeconds = a.up ? a.seconds : 0;
        s.statusText = a.statusText;
        if (a.unitId)
            s.unitId = *a.unitId;
        s.checked = a.at;
        s.recent.push_back({a.at, a.up, a.up ? a.seconds : 0});
        while (s.recent.size() > kRecentPolls) s.recent.pop_front();
        if (known && before.up == s.up && before.statusOk == s.statusOk &&
            before.statusText == s.statusText && before.unitId == s.unitId)
            continue;
        // Units' texts are any bytes: invalid UTF-8 becomes U+FFFD rather
        // than failing the event.
        hub.publish("status", "status",
                    eventOf(a, s).dump(-1, ' ', false, json::error_handler_t::replace));
    }
}

std::string probeExposition(const unitfleet::InventoryUnit& unit, const StatusAnswer& a,
                            double probeSeconds) {
    using unitfleet::labelValue;
    std::string labels =
        "unit=\"" + labelValue(unitKey(unit)) + "\",address=\"" + labelValue(unit.address) + "\"";
    auto line = [&](const char* name, const char* help, const std::string& labelText,
                    double value) {
        char number[64];
        std::snprintf(number, sizeof number, "%.17g", value);
        return std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n" + name +
               "{" + labelText + "} " + number + "\n";
    };
    std::string out = line("unit_up", "1 when the unit answered.", labels, a.up ? 1 : 0);
    out +=
        line("unit_status_ok", "1 when the unit's status says all is well.", labels, a.ok ? 1 : 0);
    if (a.up) {
        out += line("unit_reply_seconds", "The unit's reply time.", labels, a.seconds);
        out += line("unit_info", "What the unit reports as its UnitID and UnitStatus.",
                    labels + ",unit_id=\"" + labelValue(a.unitId.value_or("")) + "\",status=\"" +
                        labelValue(a.statusText.value_or("")) + "\"",
                    1);
    }
    out += line("unit_probe_seconds", "How long the probe took.", labels, probeSeconds);
    return out;
}

StatusPoller::StatusPoller(FleetStatus& fleet, EventHub& hub, DaemonCounters& counters, Post post)
    : fleet_(fleet), hub_(hub), counters_(counters), post_(std::move(post)) {}

StatusPoller::~StatusPoller() {
    *alive_ = false;
    if (thread_.joinable())
        thread_.join();
}

bool StatusPoller::start(std::vector<unitfleet::InventoryUnit> units, AskSettings settings) {
    if (*busy_)
        return false;
    if (thread_.joinable())
        thread_.join();  // the last cycle's thread has posted its answers: it is ending
    *busy_ = true;
    // Which units' UnitID is known is read here, on the server's thread;
    // the workers see a copy.
    auto known = std::make_shared<std::set<std::string>>();
    for (const auto& [key, status] : fleet_)
        if (status.up && !status.unitId.empty())
            known->insert(key);
    settings.knowsId = [known](const std::string& key) { return known->count(key) != 0; };
    thread_ = std::thread([this, units = std::move(units), settings, alive = alive_, busy = busy_] {
        // Shutting down stops the cycle between units.
        unitfleet::RunControl control;
        control.stop = [alive] { return !*alive; };
        auto begun = std::chrono::steady_clock::now();
        auto answers = askUnits(units, settings, &control, nullptr);
        double took =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        post_([this, answers = std::move(answers), took, alive, busy] {
            if (!*alive)
                return;
            recordAnswers(fleet_, hub_, answers);
            ++counters_.polls;
            counters_.lastPollSeconds = took;
            *busy = false;
        });
    });
    return true;
}

Prober::Prober(Post post) : post_(std::move(post)), thread_([this] { serve(); }) {}

Prober::~Prober() {
    *alive_ = false;
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool Prober::ask(unitfleet::InventoryUnit unit, AskSettings settings, Answered answered) {
    {
        std::lock_guard lock(mutex_);
        if (waiting_.size() >= kMostWaiting)
            return false;
        waiting_.push_back({std::move(unit), std::move(settings), std::move(answered)});
    }
    wake_.notify_all();
    return true;
}

void Prober::serve() {
    for (;;) {
        std::vector<Question> batch;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return closing_ || !waiting_.empty(); });
            if (closing_)
                return;
            batch.swap(waiting_);
        }
        std::vector<unitfleet::InventoryUnit> units;
        for (const auto& q : batch) units.push_back(q.unit);
        AskSettings settings = batch.front().settings;
        settings.workers = static_cast<int>(std::min<std::size_t>(batch.size(), 64));
        settings.knowsId = nullptr;  // a probe reports the UnitID it is told
        unitfleet::RunControl control;
        control.stop = [alive = alive_] { return !*alive; };
        auto begun = std::chrono::steady_clock::now();
        // askUnits keeps the units' order; a unit asked twice is answered twice.
        std::vector<StatusAnswer> answers = askUnits(units, settings, &control, nullptr);
        double took =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        if (answers.size() != batch.size())
            return;  // stopped: the daemon is going
        for (std::size_t i = 0; i < batch.size(); ++i)
            post_([alive = alive_, answered = std::move(batch[i].answered),
                   answer = std::move(answers[i]), took]() mutable {
                if (*alive)
                    answered(std::move(answer), took);
            });
    }
}

}  // namespace unitfleetd
