// SPDX-License-Identifier: Apache-2.0
// The fleet at a glance: how many units are in each state, counted here so
// that a page shows the counts of 10,000 units without listing them.
#include "unitfleetd/api.h"
#include "unitfleetd/json_answer.h"

namespace unitfleetd {
namespace {

nlohmann::json fleetCounts(const unitfleet::Inventory& inventory, const FleetStatus& fleet) {
    int up = 0, down = 0, unknown = 0, notOk = 0, neverBackedUp = 0;
    for (const auto& unit : inventory.units) {
        auto it = fleet.find(unitKey(unit));
        if (it == fleet.end()) {
            ++unknown;
            ++neverBackedUp;
            continue;
        }
        const auto& s = it->second;
        ++(s.up ? up : down);
        if (s.up && !s.statusOk)
            ++notOk;
        if (s.lastBackup <= 0)
            ++neverBackedUp;
    }
    // Drift is not known to the fleet status yet: null, not a false zero.
    return {{"units", inventory.units.size()},
            {"up", up},
            {"down", down},
            {"unknown", unknown},
            {"status_not_ok", notOk},
            {"never_backed_up", neverBackedUp},
            {"drifting", nullptr}};
}

}  // namespace

void addFleetRoutes(Router& router, ApiContext& c) {
    router.add("GET", "/api/v1/fleet", Role::Viewer, [&c](std::shared_ptr<Call>, Reply reply) {
        reply(jsonAnswer(200, fleetCounts(*c.inventory, c.fleet)));
    });
}

}  // namespace unitfleetd
