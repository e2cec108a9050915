// SPDX-License-Identifier: Apache-2.0
// The units of the inventory, with what is known of their status.
#include <algorithm>

#include "unitfleetd/api.h"
#include "unitfleetd/json_answer.h"

namespace unitfleetd {
namespace {

using nlohmann::json;
using unitfleet::InventoryUnit;

std::string stateOf(const FleetStatus& fleet, const InventoryUnit& unit) {
    auto it = fleet.find(unitKey(unit));
    if (it == fleet.end())
        return "unknown";
    return it->second.up ? "up" : "down";
}

json unitJson(const FleetStatus& fleet, const InventoryUnit& unit) {
    json j = {{"name", unitKey(unit)},
              {"address", unit.address},
              {"groups", unit.groups},
              {"line", unit.line},
              {"state", stateOf(fleet, unit)}};
    if (auto it = fleet.find(unitKey(unit)); it != fleet.end()) {
        const auto& s = it->second;
        j["status"] = {{"up", s.up},
                       {"status_ok", s.statusOk},
                       {"reply_seconds", s.replySeconds},
                       {"unit_id", s.unitId},
                       {"status_text", s.statusText ? json(*s.statusText) : json(nullptr)},
                       {"last_backup", s.lastBackup > 0 ? json(s.lastBackup) : json(nullptr)},
                       {"checked", s.checked},
                       {"drift_modes", s.driftModes >= 0 ? json(s.driftModes) : json(nullptr)}};

    } else {
        j["status"] = nullptr;
    }
    return j;
}

// One unit's answer also holds its recent reply times, oldest first.
json withRecent(const FleetStatus& fleet, const InventoryUnit& unit) {
    json j = unitJson(fleet, unit);
    auto it = fleet.find(unitKey(unit));
    if (it == fleet.end())
        return j;
    json recent = json::array();
    for (const auto& r : it->second.recent)
        recent.push_back({{"at", r.at},
                          {"up", r.up},
                          {"reply_seconds", r.up ? json(r.seconds) : json(nullptr)}});
    j["status"]["recent"] = std::move(recent);
    return j;
}

// Sort keys: name, address, line (inventory order); "-" before one reverses it.
bool sortUnits(std::vector<const InventoryUnit*>& units, std::string key) {
    bool reverse = !key.empty() && key[0] == '-';
    if (reverse)
        key.erase(0, 1);
    std::function<bool(const InventoryUnit*, const InventoryUnit*)> less;
    if (key == "name")
        less = [](auto a, auto b) { return unitKey(*a) < unitKey(*b); };
    else if (key == "address")
        less = [](auto a, auto b) {
            return a->ip != b->ip ? a->ip < b->ip : a->address < b->address;
        };
    else if (key == "line")
        less = [](auto a, auto b) { return a->line < b->line; };
    else
        return false;
    std::stable_sort(units.begin(), units.end(),
                     [&](auto a, auto b) { return reverse ? less(b, a) : less(a, b); });
    return true;
}

void listUnits(ApiContext& c, std::shared_ptr<Call> call, Reply reply) {
    const auto& req = call->request;
    auto page = queryNumber(req, "page", 1, 1, 1000000);
    auto perPage = queryNumber(req, "per_page", 100, 1, 1000);
    if (!page || !perPage)
        return reply(errorAnswer(400,
                                 "page and per_page must be whole numbers "
                                 "(page from 1, per_page 1 to 1000)"));
    auto get = [&](const char* name) {
        auto it = req.query.find(name);
        return it == req.query.end() ? std::string() : it->second;
    };
    std::string group = get("group"), name = get("name"), state = get("state");
    if (!state.empty() && state != "up" && state != "down" && state != "unknown")
        return reply(errorAnswer(400, "state must be up, down or unknown"));
    std::vector<const InventoryUnit*> chosen;
    for (const auto& unit : c.inventory->units) {
        if (!group.empty() &&
            std::find(unit.groups.begin(), unit.groups.end(), group) == unit.groups.end())
            continue;
        if (!name.empty() && unitKey(unit).find(name) == std::string::npos &&
            unit.address.find(name) == std::string::npos)
            continue;
        if (!state.empty() && stateOf(c.fleet, unit) != state)
            continue;
        chosen.push_back(&unit);
    }
    std::string sort = get("sort");
    if (!sortUnits(chosen, sort.empty() ? "line" : sort))
        return reply(errorAnswer(400, "sort must be name, address or line, with - to reverse"));
    json list = json::array();
    auto first = static_cast<std::size_t>((*page - 1) * *perPage);
    for (std::size_t i = first; i < chosen.size() && i < first + *perPage; ++i)
        list.push_back(unitJson(c.fleet, *chosen[i]));
    reply(jsonAnswer(
        200, {{"units", list}, {"total", chosen.size()}, {"page", *page}, {"per_page", *perPage}}));
}

}  // namespace

void addUnitRoutes(Router& router, ApiContext& c) {
    router.add("GET", "/api/v1/units", Role::Viewer, [&c](std::shared_ptr<Call> call, Reply reply) {
        listUnits(c, call, std::move(reply));
    });
    // A unit by its key: looked up in the inventory, never used as a path.
    router.add("GET", "/api/v1/units/{name}", Role::Viewer,
               [&c](std::shared_ptr<Call> call, Reply reply) {
                   const auto& key = call->params["name"];
                   for (const auto& unit : c.inventory->units)
                       if (unitKey(unit) == key)
                           return answerUnitDetail(c, unit, withRecent(c.fleet, unit),
                                                   std::move(reply));
                   reply(errorAnswer(404, "no unit '" + key + "' in the inventory"));
               });
}

}  // namespace unitfleetd
