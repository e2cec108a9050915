// SPDX-License-Identifier: Apache-2.0
// /probe?target=NAME-or-ADDRESS: one unit asked now, answered in the
// exposition format, as multi-target exporters answer. The target must be a
// unit of the inventory (its name, address or ADDRESS:PORT): the daemon
// connects nowhere a request names, only to its own units.
#include "unitfleetd/api.h"
#include "unitfleetd/json_answer.h"
#include "unitfleetd/status_poll.h"

namespace unitfleetd {
namespace {

const unitfleet::InventoryUnit* inventoryUnit(const unitfleet::Inventory& inventory,
                                              const std::string& target) {
    for (const auto& unit : inventory.units)
        if (unitKey(unit) == target || unit.address == target ||
            unit.address + ":" + std::to_string(unit.port == 0 ? 1283 : unit.port) == target)
            return &unit;
    return nullptr;
}

}  // namespace

void addProbeRoutes(Router& router, ApiContext& c) {
    router.add("GET", "/probe",
               c.config->metricsPublic ? std::nullopt : std::optional(Role::Viewer),
               [&c](std::shared_ptr<Call> call, Reply reply) {
                   auto it = call->request.query.find("target");
                   if (it == call->request.query.end() || it->second.empty())
                       return reply(errorAnswer(400, "give ?target=NAME or ADDRESS of a unit"));
                   const auto* unit = inventoryUnit(*c.inventory, it->second);
                   if (unit == nullptr)
                       return reply(
                           errorAnswer(404,
                                       "not a unit of the inventory: /probe asks only the daemon's "
                                       "own units"));
                   if (c.prober == nullptr)
                       return reply(errorAnswer(503, "probes are not served"));
                   AskSettings settings;
                   settings.timeout = std::chrono::milliseconds(
                       static_cast<long long>(c.config->unitTimeoutSeconds * 1000));
                   bool queued = c.prober->ask(
                       *unit, settings, [reply, unit = *unit](StatusAnswer answer, double seconds) {
                           HttpResponse r;
                           r.contentType = "text/plain; version=0.0.4; charset=utf-8";
                           r.body = probeExposition(unit, answer, seconds);
                           reply(std::move(r));
                       });
                   if (!queued)
                       reply(errorAnswer(503, "too many probes waiting; try again"));
               });
}

}  // namespace unitfleetd
