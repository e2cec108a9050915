// SPDX-License-Identifier: Apache-2.0
// The fleet at a glance: how many units are in each state, counted here so
// that a page shows the counts of 10,000 units without listing them.
#include "unitfleetd/api.h"
#include "unitfleetd/json_answer.h"
#include "unitfleetd/unit_detail.h"

namespace unitfleetd {
namespace {

nlohmann::json fleetCounts(const unitfleet::Inventory& inventory, const FleetStatus& fleet,
                           const UnitDetail* detail) {
    int up = 0, down = 0, unknown = 0, notOk = 0, neverBackedUp = 0, drifting = 0;
    for (const auto& unit : inventory.units) {
        // Drift comes from the listings, whether or not the unit was polled.
        if (detail && driftModesOf(*detail, unitKey(unit)) > 0)
            ++drifting;
        auto it = fleet.find(unitKey(unit));
        if (it == fleet.end()) {
            ++unknown;
            ++neverBackedUp;
            continue;
        }
        const auto& s = it->second;
        // An entry made by a backup or the drift count before any poll
        // says nothing about whether the unit answers.
        if (s.checked <= 0)
            ++unknown;
        else
            ++(s.up ? up : down);
        if (s.up && !s.statusOk)
            ++notOk;
        if (s.lastBackup <= 0)
            ++neverBackedUp;
    }
    return {{"units", inventory.units.size()},
            {"up", up},
            {"down", down},
            {"unknown", unknown},
            {"status_not_ok", notOk},
            {"never_backed_up", neverBackedUp},
            {"drifting", drifting}};
}

}  // namespace

void addFleetRoutes(Router& router, ApiContext& c) {
    router.add("GET", "/api/v1/fleet", Role::Viewer, [&c](std::shared_ptr<Call>, Reply reply) {
        reply(jsonAnswer(200, fleetCounts(*c.inventory, c.fleet, c.detail)));
    });
}

}  // namespace unitfleetd
