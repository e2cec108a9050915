// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/metrics.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>

#include "unitfleet/prometheus.h"

namespace unitfleetd {
namespace {

std::string number(double v) {
    if (std::isnan(v))
        return "NaN";
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

void family(std::string& out, const char* name, const char* type, const char* help) {
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

std::string joined(const std::vector<std::string>& groups) {
    std::string s;
    for (const auto& g : groups) s += (s.empty() ? "" : ",") + g;
    return s;
}

}  // namespace

std::string escapeLabel(std::string_view value) {
    return unitfleet::labelValue(value);
}

std::string renderMetrics(const DaemonCounters& c,
                          const std::vector<unitfleet::InventoryUnit>& units,
                          const FleetStatus& status) {
    std::string out;
    family(out, "unitfleetd_http_requests_total", "counter", "HTTP answers by status code.");
    for (auto& [code, n] : c.httpRequests)
        out += "unitfleetd_http_requests_total{code=\"" + std::to_string(code) + "\"} " +
               std::to_string(n) + "\n";
    family(out, "unitfleetd_jobs_started_total", "counter", "Jobs started.");
    out += "unitfleetd_jobs_started_total " + std::to_string(c.jobsStarted) + "\n";
    family(out, "unitfleetd_jobs_finished_total", "counter", "Jobs ended, by final state.");
    for (auto& [state, n] : c.jobsFinished)
        out += "unitfleetd_jobs_finished_total{state=\"" + escapeLabel(state) + "\"} " +
               std::to_string(n) + "\n";
    family(out, "unitfleetd_jobs", "gauge", "Jobs in the state file, by state.");
    for (auto& [state, n] : c.jobsByState)
        out += "unitfleetd_jobs{state=\"" + escapeLabel(state) + "\"} " + std::to_string(n) + "\n";
    family(out, "unitfleetd_polls_total", "counter", "Status poll cycles finished.");
    out += "unitfleetd_polls_total " + std::to_string(c.polls) + "\n";
    if (c.lastPollSeconds >= 0) {
        family(out, "unitfleetd_poll_duration_seconds", "gauge",
               "How long the last status poll cycle took.");
        out += "unitfleetd_poll_duration_seconds " + number(c.lastPollSeconds) + "\n";
    }
    family(out, "unitfleetd_jobs_running", "gauge", "Jobs running now.");
    out += "unitfleetd_jobs_running " + std::to_string(c.jobsRunning) + "\n";
    family(out, "unitfleetd_connections", "gauge", "Open HTTP connections.");
    out += "unitfleetd_connections " + std::to_string(c.connections) + "\n";
    family(out, "unitfleetd_event_streams", "gauge", "Open server-sent-event streams.");
    out += "unitfleetd_event_streams " + std::to_string(c.eventStreams) + "\n";
    family(out, "unitfleetd_inventory_units", "gauge", "Units in the inventory.");
    out += "unitfleetd_inventory_units " + std::to_string(units.size()) + "\n";

    // The fleet: one line per unit whose status is known, per metric.
    struct Gauge {
        const char* name;
        const char* help;
        std::function<std::optional<double>(const UnitStatus&)> value;
    };
    const Gauge gauges[] = {
        {"unit_up", "1 when the unit answered its last poll.",
         [](const UnitStatus& s) { return std::optional<double>(s.up ? 1 : 0); }},
        {"unit_status_ok", "1 when the unit's status says all is well.",
         [](const UnitStatus& s) { return std::optional<double>(s.statusOk ? 1 : 0); }},
        {"unit_reply_seconds", "The unit's last reply time.",
         [](const UnitStatus& s) {
             return s.up ? std::optional<double>(s.replySeconds) : std::nullopt;
         }},
        {"unit_drift_modes", "Modes that differ from the unit's group baseline.",
         [](const UnitStatus& s) {
             return s.driftModes >= 0 ? std::optional<double>(s.driftModes) : std::nullopt;
         }},
        {"unit_last_backup_timestamp_seconds", "When the unit's modes were last backed up.",
         [](const UnitStatus& s) {
             return s.lastBackup > 0 ? std::optional<double>(s.lastBackup) : std::nullopt;
         }},
    };
    for (const auto& g : gauges) {
        std::string lines;
        for (const auto& unit : units) {
            auto it = status.find(unitKey(unit));
            if (it == status.end())
                continue;
            auto v = g.value(it->second);
            if (!v)
                continue;
            lines += std::string(g.name) + "{unit=\"" + escapeLabel(unitKey(unit)) +
                     "\",address=\"" + escapeLabel(unit.address) + "\",group=\"" +
                     escapeLabel(joined(unit.groups)) + "\"} " + number(*v) + "\n";
        }
        if (lines.empty())
            continue;
        family(out, g.name, "gauge", g.help);
        out += lines;
    }
    // What the units say of themselves, as labels of an info metric.
    std::string info;
    for (const auto& unit : units) {
        auto it = status.find(unitKey(unit));
        if (it == status.end() || !it->second.up)
            continue;
        info += "unit_info{unit=\"" + escapeLabel(unitKey(unit)) + "\",unit_id=\"" +
                escapeLabel(it->second.unitId) + "\",status=\"" +
                escapeLabel(it->second.statusText.value_or("")) + "\"} 1\n";
    }
    if (!info.empty()) {
        family(out, "unit_info", "gauge", "What the unit reports as its UnitID and UnitStatus.");
        out += info;
    }
    return out;
}

}  // namespace unitfleetd
