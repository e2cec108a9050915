// SPDX-License-Identifier: Apache-2.0
// Jobs: list, one with its per-unit results, start, stop, and a stream of
// their progress as server-sent events.
#include <algorithm>
#include <charconv>

#include "unitfleetd/api.h"
#include "unitfleetd/core_runner.h"
#include "unitfleetd/json_answer.h"

namespace unitfleetd {
namespace {

using nlohmann::json;

std::optional<std::int64_t> jobId(const std::string& text) {
    std::int64_t id = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (ec != std::errc() || end != text.data() + text.size() || id <= 0)
        return std::nullopt;
    return id;
}

// The units a job asks for: "units" (keys), else "group", else all.
std::optional<std::vector<std::string>> jobUnits(const unitfleet::Inventory& inventory,
                                                 const json& body, std::string& error) {
    std::vector<std::string> units;
    if (body.contains("units")) {
        if (!body["units"].is_array()) {
            error = "units must be an array of unit names";
            return std::nullopt;
        }
        for (const auto& u : body["units"]) {
            if (!u.is_string()) {
                error = "units must be an array of unit names";
                return std::nullopt;
            }
            auto key = u.get<std::string>();
            auto found = std::find_if(inventory.units.begin(), inventory.units.end(),
                                      [&](const auto& unit) { return unitKey(unit) == key; });
            if (found == inventory.units.end()) {
                error = "no unit '" + key + "' in the inventory";
                return std::nullopt;
            }
            if (std::find(units.begin(), units.end(), key) == units.end())
                units.push_back(key);
        }
        return units;
    }
    std::vector<std::string> groups;
    if (body.contains("group")) {
        if (!body["group"].is_string()) {
            error = "group must be a string";
            return std::nullopt;
        }
        groups.push_back(body["group"].get<std::string>());
    }
    for (const auto& unit : unitfleet::selectGroups(inventory.units, groups))
        units.push_back(unitKey(unit));
    return units;
}

void startJob(ApiContext& c, std::shared_ptr<Call> call, Reply reply) {
    std::string error;
    auto body = jsonBody(call->request, error);
    if (!body)
        return reply(errorAnswer(400, error));
    if (!body->contains("kind") || !(*body)["kind"].is_string())
        return reply(errorAnswer(400, "give the job's \"kind\""));
    auto kind = (*body)["kind"].get<std::string>();
    json params = body->value("params", json::object());
    if (!params.is_object())
        return reply(errorAnswer(400, "params must be an object"));
    auto units = jobUnits(*c.inventory, *body, error);
    if (!units)
        return reply(errorAnswer(400, error));
    StartRefusal refusal;
    auto job = c.jobs.start(kind, params, *units, call->principal->name, refusal);
    if (!job)
        return reply(errorAnswer(refusal.status, refusal.message));
    call->auditNote = "job " + std::to_string(job->id) + " " + kind;
    auto r = jsonAnswer(201, jobJson(*job));
    r.headers.emplace_back("Location", "/api/v1/jobs/" + std::to_string(job->id));
    reply(std::move(r));
}

}  // namespace

void addJobRoutes(Router& router, ApiContext& c) {
    router.add("GET", "/api/v1/jobs", Role::Viewer, [&c](std::shared_ptr<Call> call, Reply reply) {
        auto page = queryNumber(call->request, "page", 1, 1, 1000000);
        auto perPage = queryNumber(call->request, "per_page", 50, 1, 500);
        if (!page || !perPage)
            return reply(errorAnswer(400, "page and per_page must be whole numbers"));
        json list = json::array();
        for (const auto& job :
             c.store.jobs(static_cast<int>(*perPage), static_cast<int>((*page - 1) * *perPage)))
            list.push_back(jobJson(job));
        reply(jsonAnswer(200, {{"jobs", list},
                               {"total", c.store.jobCount()},
                               {"page", *page},
                               {"per_page", *perPage},
                               {"kinds", c.jobs.kinds()}}));
    });
    router.add(
        "POST", "/api/v1/jobs", Role::Operator,
        [&c](std::shared_ptr<Call> call, Reply reply) { startJob(c, call, std::move(reply)); });
    router.add(
        "GET", "/api/v1/jobs/{id}", Role::Viewer, [&c](std::shared_ptr<Call> call, Reply reply) {
            auto id = jobId(call->params["id"]);
            auto job = id ? c.store.job(*id) : std::nullopt;
            if (!job)
                return reply(errorAnswer(404, "no such job"));
            json j = jobJson(*job);
            j["results"] = json::array();
            // The retry set: what the command line's retry inventory lists.
            j["retry"] = json::array();
            for (const auto& r : c.store.unitResults(*id)) {
                j["results"].push_back(
                    {{"unit", r.unit}, {"outcome", r.outcome}, {"detail", r.detail}, {"at", r.at}});
                if (isRetryOutcome(r.outcome))
                    j["retry"].push_back(r.unit);
            }
            reply(jsonAnswer(200, j));
        });
    router.add("POST", "/api/v1/jobs/{id}/stop", Role::Operator,
               [&c](std::shared_ptr<Call> call, Reply reply) {
                   auto id = jobId(call->params["id"]);
                   if (!id || !c.store.job(*id))
                       return reply(errorAnswer(404, "no such job"));
                   call->auditNote = "job " + std::to_string(*id);
                   if (!c.jobs.stop(*id))
                       return reply(errorAnswer(409, "the job is not running"));
                   reply(jsonAnswer(202, {{"job", *id}, {"stopping", true}}));
               });
    router.add("GET", "/api/v1/events", Role::Viewer,
               [&c](std::shared_ptr<Call> call, Reply reply) {
                   // Everything, or one topic: a job's progress, the status
                   // changes or the schedule's runs.
                   std::string topic;
                   const auto& query = call->request.query;
                   if (auto it = query.find("job"); it != query.end()) {
                       auto id = jobId(it->second);
                       if (!id)
                           return reply(errorAnswer(400, "job must be a job id"));
                       topic = "job/" + std::to_string(*id);
                   }
                   if (auto it = query.find("topic"); it != query.end()) {
                       if (!topic.empty())
                           return reply(errorAnswer(400, "give job or topic, not both"));
                       if (it->second != "status" && it->second != "schedule")
                           return reply(errorAnswer(400, "topic must be status or schedule"));
                       topic = it->second;
                   }
                   HttpResponse r;
                   r.contentType = "text/event-stream";
                   r.events = c.hub.subscribe(topic);
                   // The first event tells the client it is subscribed.
                   r.events->push(formatEvent("hello", json{{"topic", topic}}.dump()));
                   reply(std::move(r));
               });
}

}  // namespace unitfleetd
