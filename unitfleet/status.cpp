// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/status.h"

#include <nlohmann/json.hpp>

#include "platform/atomic_file.h"
#include "protocol/text.h"
#include "unitfleet/commands.h"
#include "unitfleet/mode_question.h"
#include "unitfleet/output_file.h"
#include "unitfleet/pool.h"
#include "unitfleet/prometheus.h"

namespace unitfleet {

namespace {

std::string reason(const UnitState& s) {
    if (!s.up) {
        std::string text(protocol::describe(s.answer.status));
        return s.answer.cause.empty() ? text : text + ": " + s.answer.cause;
    }
    if (!s.answer.named)
        return "no UnitStatus value";
    return "UnitStatus " + s.answer.value;
}

void printText(std::FILE* out, const std::vector<InventoryUnit>& units,
               const std::vector<UnitState>& states) {
    std::size_t up = 0, ok = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const UnitState& s = states[i];
        up += s.up ? 1 : 0;
        ok += s.ok ? 1 : 0;
        // The unit's text is escaped: a UnitStatus holding escape sequences
        // must not retitle or repaint the terminal.
        std::string label = protocol::escapeControls(units[i].label());
        std::string why = protocol::escapeControls(reason(s));
        if (s.up)
            std::fprintf(out, "%s: up, %.3f s, %s%s\n", label.c_str(), s.answer.seconds,
                         why.c_str(), s.ok ? "" : " (not OK)");
        else
            std::fprintf(out, "%s: down, %s\n", label.c_str(), why.c_str());
    }
    std::fprintf(out, "status: %zu units, %zu up, %zu OK, %zu down\n", units.size(), up, ok,
                 units.size() - up);
}

void printJson(std::FILE* out, const std::vector<InventoryUnit>& units,
               const std::vector<UnitState>& states) {
    using nlohmann::ordered_json;
    ordered_json list = ordered_json::array();
    std::size_t up = 0, ok = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const UnitState& s = states[i];
        up += s.up ? 1 : 0;
        ok += s.ok ? 1 : 0;
        list.push_back({{"address", units[i].address},
                        {"port", units[i].port == 0 ? 1283 : units[i].port},
                        {"name", units[i].name},
                        {"groups", units[i].groups},
                        {"up", s.up},
                        {"status", s.answer.named ? ordered_json(s.answer.value) : nullptr},
                        {"status_ok", s.ok},
                        {"reply_seconds", s.up ? ordered_json(s.answer.seconds) : nullptr},
                        {"reason", reason(s)}});
    }
    ordered_json doc{{"command", "status"},
                     {"units", std::move(list)},
                     {"total", units.size()},
                     {"up", up},
                     {"ok", ok},
                     {"down", units.size() - up}};
    std::string text = doc.dump(2, ' ', false, ordered_json::error_handler_t::replace);
    std::fprintf(out, "%s\n", text.c_str());
}

std::vector<UnitSample> samples(const std::vector<InventoryUnit>& units,
                                const std::vector<UnitState>& states) {
    std::vector<UnitSample> out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const UnitState& s = states[i];
        out.push_back({units[i].name.empty() ? units[i].target() : units[i].name, units[i].target(),
                       s.up, s.ok, s.answer.seconds});
    }
    return out;
}

}  // namespace

UnitState askUnitStatus(protocol::ClientSession& session, const InventoryUnit& unit,
                        std::chrono::milliseconds timeout, const std::string& okStatus) {
    UnitState s;
    s.answer = askMode(session, unit.address, unit.port, "UnitStatus", timeout);
    using Status = protocol::ClientSession::Status;
    s.up = s.answer.status == Status::Ok || s.answer.status == Status::Refused;
    s.ok = s.answer.named && protocol::equalsIgnoreCase(s.answer.value, okStatus);
    return s;
}

std::string statusReason(const UnitState& state) {
    return reason(state);
}

int runStatus(const StatusSettings& settings, std::FILE* out, std::FILE* err) {
    std::optional<std::vector<InventoryUnit>> units =
        loadInventory(settings.inventory, settings.groups, err);
    if (!units)
        return kExitInputError;
    auto timeout =
        std::chrono::milliseconds(static_cast<long long>(settings.timeoutSeconds * 1000));
    std::vector<UnitState> states(units->size());
    std::string threadError;
    std::size_t asked = forEachIndex(
        units->size(), workersWithinLimit(settings.jobs, err),
        [&](std::size_t i, protocol::ClientSession& session) {
            states[i] = askUnitStatus(session, (*units)[i], timeout, settings.okStatus);
        },
        threadError);
    if (asked < units->size()) {
        std::fprintf(err, "unitfleet: no worker thread could be started: %s\n",
                     threadError.c_str());
        return kExitSomeFailed;
    }
    if (settings.json)
        printJson(out, *units, states);
    else
        printText(out, *units, states);
    std::fflush(out);
    int status = std::all_of(states.begin(), states.end(), [](const UnitState& s) { return s.ok; })
                     ? kExitDone
                     : kExitSomeFailed;
    if (!settings.prometheus.empty()) {
        std::string error;
        if (!writeOutputFile(settings.prometheus, exposition(samples(*units, states)), error)) {
            std::fprintf(err, "unitfleet: cannot write %s\n", error.c_str());
            return kExitSomeFailed;
        }
    }
    return status;
}

}  // namespace unitfleet
