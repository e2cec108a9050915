// SPDX-License-Identifier: Apache-2.0
// Baselines: listed and read by anyone, replaced by an admin (checked as an
// apply checks its ini file, written whole), and the plan of applying one
// to its group, from each unit's last listing.
#include <algorithm>

#include "platform/atomic_file.h"
#include "unitfleetd/api.h"
#include "unitfleetd/api_detail.h"
#include "unitfleetd/baselines.h"
#include "unitfleetd/json_answer.h"

namespace unitfleetd {
namespace {

using nlohmann::json;

std::size_t unitsIn(const unitfleet::Inventory& inventory, const std::string& group) {
    return static_cast<std::size_t>(
        std::count_if(inventory.units.begin(), inventory.units.end(), [&](const auto& unit) {
            return std::find(unit.groups.begin(), unit.groups.end(), group) != unit.groups.end();
        }));
}

std::size_t unitsFollowing(const ApiContext& c, const std::string& group) {
    std::size_t n = 0;
    for (const auto& unit : c.inventory->units) {
        auto groups = baselineGroups(*c.config, unit);
        n += !groups.empty() && groups.front() == group;
    }
    return n;
}

json faultsJson(const Baseline& b) {
    json faults = json::array();
    for (const auto& f : b.faults) faults.push_back(f);
    return faults;
}

json baselineJson(const ApiContext& c, const Baseline& b) {
    json modes = json::array();
    for (const auto& s : b.settings)
        modes.push_back({{"mode", s.name}, {"value", s.value}, {"line", s.line}});
    return {{"group", b.group},
            {"text", orNull(b.text)},
            {"modes", modes},
            {"units", unitsIn(*c.inventory, b.group)},
            {"following", unitsFollowing(c, b.group)},
            {"faults", faultsJson(b)}};
}

void putBaseline(ApiContext& c, std::shared_ptr<Call> call, Reply reply) {
    const auto& group = call->params["group"];
    call->auditNote = "baseline " + group;
    auto it = c.config->baselines.find(group);
    if (it == c.config->baselines.end())
        return reply(errorAnswer(404, "no baseline is configured for group '" + group + "'"));
    std::string error;
    auto body = jsonBody(call->request, error);
    if (!body)
        return reply(errorAnswer(400, error));
    if (!body->contains("text") || !(*body)["text"].is_string() || body->size() != 1)
        return reply(errorAnswer(400, "give the ini file as {\"text\": \"...\"}"));
    Baseline b = baselineFrom(group, it->second, (*body)["text"].get<std::string>());
    if (!b.faults.empty()) {
        auto r = jsonAnswer(400, {{"error", b.faults.front()}, {"faults", faultsJson(b)}});
        return reply(std::move(r));
    }
    if (!platform::writeFileAtomically(b.file, *b.text, true, error))
        return reply(errorAnswer(500, "cannot write the baseline of " + group + ": " + error));
    if (c.detail->refresh)
        c.detail->refresh();
    reply(jsonAnswer(200, baselineJson(c, b)));
}

HttpResponse planOf(ListingStore& listings, const Baseline& baseline,
                    const std::vector<std::pair<std::string, std::string>>& units, long long page,
                    long long perPage) {
    std::string error;
    auto head = listings.head(error);
    if (!head)
        return errorAnswer(500, "cannot read the store: " + error);
    std::vector<std::string> stems;
    for (const auto& [key, stem] : units) stems.push_back(stem);
    std::map<std::string, std::string> texts;
    if (!head->empty()) {
        auto found = listings.listingsAt(*head, stems, error);
        if (!found)
            return errorAnswer(500, "cannot read the store: " + error);
        texts = std::move(*found);
    }
    json list = json::array();
    std::size_t changing = 0;
    auto first = static_cast<std::size_t>((page - 1) * perPage);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto& [key, stem] = units[i];
        json entry = {{"name", key},
                      {"listing", false},
                      {"changes", json::array()},
                      {"unknown", json::array()}};
        auto text = texts.find(stem);
        auto listing =
            text == texts.end() ? std::nullopt : unitfleet::readListing(text->second, error);
        if (text != texts.end() && !listing)
            entry["error"] = "damaged listing: " + error;
        if (listing) {
            UnitPlan plan = planFor(*listing, baseline.settings);
            changing += !plan.changes.empty() || !plan.unknown.empty();
            entry["listing"] = true;
            for (const auto& change : plan.changes)
                entry["changes"].push_back({{"mode", change.mode},
                                            {"from", orNull(change.unitValue)},
                                            {"to", change.newValue}});
            for (const auto& mode : plan.unknown) entry["unknown"].push_back(mode);
        }
        if (i >= first && i < first + perPage)
            list.push_back(std::move(entry));
    }
    return jsonAnswer(200, {{"group", baseline.group},
                            {"revision", head->empty() ? json(nullptr) : json(*head)},
                            {"total", units.size()},
                            {"changing", changing},
                            {"page", page},
                            {"per_page", perPage},
                            {"units", list}});
}

void planBaseline(ApiContext& c, std::shared_ptr<Call> call, Reply reply) {
    const auto& group = call->params["group"];
    auto baseline = readBaseline(*c.config, group);
    if (!baseline)
        return reply(errorAnswer(404, "no baseline is configured for group '" + group + "'"));
    if (!baseline->usable())
        return reply(errorAnswer(
            409, "the baseline of " + group + " has faults: " + baseline->faults.front()));
    auto page = queryNumber(call->request, "page", 1, 1, 1000000);
    auto perPage = queryNumber(call->request, "per_page", 100, 1, 1000);
    if (!page || !perPage)
        return reply(errorAnswer(400,
                                 "page and per_page must be whole numbers "
                                 "(page from 1, per_page 1 to 1000)"));
    std::vector<std::pair<std::string, std::string>> units;  // key, file stem
    for (const auto& unit : unitfleet::selectGroups(c.inventory->units, {group}))
        units.emplace_back(unitKey(unit), unit.fileStem());
    onWorker(c, std::move(reply),
             [&listings = c.detail->listings, baseline = std::move(*baseline),
              units = std::move(units), page = *page,
              perPage = *perPage] { return planOf(listings, baseline, units, page, perPage); });
}

}  // namespace

void addBaselineRoutes(Router& router, ApiContext& c) {
    router.add("GET", "/api/v1/baselines", Role::Viewer, [&c](std::shared_ptr<Call>, Reply reply) {
        json list = json::array();
        for (const auto& [group, file] : c.config->baselines) {
            auto b = readBaseline(*c.config, group);
            json entry = {{"group", group},
                          {"modes", b->text ? json(b->settings.size()) : json(nullptr)},
                          {"units", unitsIn(*c.inventory, group)},
                          {"following", unitsFollowing(c, group)}};
            if (!b->faults.empty())
                entry["error"] = b->faults.front();
            list.push_back(entry);
        }
        reply(jsonAnswer(200, {{"baselines", list}}));
    });
    router.add("GET", "/api/v1/baselines/{group}", Role::Viewer,
               [&c](std::shared_ptr<Call> call, Reply reply) {
                   const auto& group = call->params["group"];
                   auto b = readBaseline(*c.config, group);
                   if (!b)
                       return reply(
                           errorAnswer(404, "no baseline is configured for group '" + group + "'"));
                   reply(jsonAnswer(200, baselineJson(c, *b)));
               });
    router.add(
        "PUT", "/api/v1/baselines/{group}", Role::Admin,
        [&c](std::shared_ptr<Call> call, Reply reply) { putBaseline(c, call, std::move(reply)); });
    router.add(
        "GET", "/api/v1/baselines/{group}/plan", Role::Viewer,
        [&c](std::shared_ptr<Call> call, Reply reply) { planBaseline(c, call, std::move(reply)); });
}

}  // namespace unitfleetd
