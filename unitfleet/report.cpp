// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/report.h"

#include <nlohmann/json.hpp>

#include "protocol/text.h"

namespace unitfleet {

namespace {

std::string shownValue(const std::optional<std::string>& value) {
    return value ? "\"" + protocol::escapeControls(*value) + "\"" : "(null)";
}

std::string shownReason(const UnitResult& result, const std::string& listing = {}) {
    return protocol::escapeControls(reasonText(result, listing));
}

struct Totals {
    std::size_t ok = 0, other = 0, failed = 0, notAttempted = 0, interrupted = 0;
};

// For diff "ok" counts units with changes and "other" those without; for
// apply "ok" counts applied and "other" unchanged ones.
Totals count(const std::vector<UnitResult>& results) {
    Totals totals;
    for (const UnitResult& r : results) {
        if (r.outcome == Outcome::NotAttempted)
            ++totals.notAttempted;
        else if (r.outcome == Outcome::Interrupted)
            ++totals.interrupted;
        else if (isFailure(r.outcome))
            ++totals.failed;
        else if (r.outcome == Outcome::NoChanges || r.outcome == Outcome::Unchanged)
            ++totals.other;
        else
            ++totals.ok;
    }
    return totals;
}

std::string totalsLine(const std::vector<UnitResult>& results, Command command) {
    Totals t = count(results);
    std::string line =
        std::string(commandName(command)) + ": " + countOf(results.size(), "unit", "units") + ", ";
    switch (command) {
        case Command::Backup:
            line += std::to_string(t.ok) + " saved";
            break;
        case Command::Diff:
            line += std::to_string(t.ok) + " with changes, " + std::to_string(t.other) + " without";
            break;
        case Command::Apply:
        case Command::Restore:
            line += std::to_string(t.ok) + " applied, " + std::to_string(t.other) + " unchanged";
            break;
    }
    line += ", " + std::to_string(t.failed) + " failed";
    if (t.notAttempted > 0)
        line += ", " + std::to_string(t.notAttempted) + " not attempted";
    if (t.interrupted > 0)
        line += ", " + std::to_string(t.interrupted) + " interrupted";
    return line;
}

std::string listingOf(const InventoryUnit& unit, const UnitResult& result,
                      const RunSummary& summary) {
    return result.saved ? listingPath(summary.backupDir, unit) : std::string();
}

}  // namespace

std::string_view commandName(Command command) {
    switch (command) {
        case Command::Backup:
            return "backup";
        case Command::Diff:
            return "diff";
        case Command::Apply:
            return "apply";
        case Command::Restore:
            return "restore";
    }
    return "";
}

std::string textReport(const std::vector<InventoryUnit>& units,
                       const std::vector<UnitResult>& results, const RunSummary& summary) {
    std::string text;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const UnitResult& r = results[i];
        text += protocol::escapeControls(units[i].label()) + ": " +
                shownReason(r, listingOf(units[i], r, summary)) + "\n";
        if (summary.command != Command::Diff || r.outcome != Outcome::Changes)
            continue;
        for (const Change& c : r.changes) {
            text += "    " + protocol::escapeControls(c.mode) + ": " + shownValue(c.unitValue) +
                    " -> " + shownValue(c.newValue) + "\n";
        }
    }
    text += totalsLine(results, summary.command) + "\n";
    if (!summary.rollout.empty())
        text += "rollout: " + summary.rollout + "\n";
    if (summary.signal != 0)
        text += "stopped: by signal " + std::to_string(summary.signal) +
                "; units not done are listed as interrupted\n";
    if (summary.stopRequested)
        text += "stopped: on request; units not done are listed as interrupted\n";
    if (!summary.backupDir.empty())
        text += "backups: " + summary.backupDir + "\n";
    if (!summary.reportFile.empty())
        text += "report: " + summary.reportFile + "\n";
    if (!summary.retryFile.empty())
        text += "retry: " + summary.retryFile + "\n";
    if (summary.nothingToRetry) {
        text += "retry: none, every unit done";
        if (!summary.removedRetry.empty())
            text += " (removed the earlier " + summary.removedRetry + ")";
        text += "\n";
    }
    return text;
}

void printText(std::FILE* out, const std::vector<InventoryUnit>& units,
               const std::vector<UnitResult>& results, const RunSummary& summary) {
    std::fputs(textReport(units, results, summary).c_str(), out);
    std::fflush(out);
}

void printJson(std::FILE* out, const std::vector<InventoryUnit>& units,
               const std::vector<UnitResult>& results, const RunSummary& summary) {
    std::fputs(jsonReport(units, results, summary).c_str(), out);
    std::fflush(out);
}

std::string jsonReport(const std::vector<InventoryUnit>& units,
                       const std::vector<UnitResult>& results, const RunSummary& summary) {
    using nlohmann::ordered_json;
    ordered_json list = ordered_json::array();
    for (std::size_t i = 0; i < units.size(); ++i) {
        const UnitResult& r = results[i];
        ordered_json unit{{"address", units[i].address},
                          {"port", units[i].port == 0 ? 1283 : units[i].port},
                          {"name", units[i].name},
                          {"groups", units[i].groups},
                          {"outcome", outcomeName(r.outcome)},
                          {"failed", isFailure(r.outcome)},
                          {"reason", reasonText(r)}};
        if (r.outcome == Outcome::Unreachable || r.outcome == Outcome::Unresolved)
            unit["cause"] = r.detail;
        if (summary.command == Command::Apply || summary.command == Command::Restore)
            unit["sent"] = r.sent;
        if (!r.skipped.empty())
            unit["skipped"] = r.skipped;
        if (!r.notRestored.empty())
            unit["not_restored"] = r.notRestored;
        if (r.saved)
            unit["file"] = listingOf(units[i], r, summary);
        if (summary.command != Command::Backup) {
            ordered_json changes = ordered_json::array();
            for (const Change& c : r.changes) {
                changes.push_back({{"mode", c.mode},
                                   {"unit", c.unitValue ? ordered_json(*c.unitValue) : nullptr},
                                   {"new", c.newValue}});
            }
            unit["changes"] = std::move(changes);
        }
        if (summary.command == Command::Apply || summary.command == Command::Restore) {
            unit["committed"] = r.committed;
            unit["restarted"] = r.restarted;
        }
        list.push_back(std::move(unit));
    }
    Totals t = count(results);
    ordered_json doc{{"command", commandName(summary.command)},
                     {"units", std::move(list)},
                     {"total", results.size()},
                     {"failed", t.failed},
                     {"not_attempted", t.notAttempted},
                     {"interrupted", t.interrupted}};
    if (!summary.rollout.empty())
        doc["rollout_stopped"] = summary.rollout;
    if (summary.signal != 0)
        doc["stopped_by_signal"] = summary.signal;
    if (summary.stopRequested)
        doc["stopped_on_request"] = true;
    if (!summary.backupDir.empty())
        doc["backup_dir"] = summary.backupDir;
    doc["retry_file"] =
        summary.retryFile.empty() ? ordered_json(nullptr) : ordered_json(summary.retryFile);
    if (!summary.reportFile.empty())
        doc["report_file"] = summary.reportFile;
    if (!summary.removedRetry.empty())
        doc["removed_retry_file"] = summary.removedRetry;
    // Bytes that are not UTF-8 (a unit's values are single-byte text) are
    // replaced rather than ending the run.
    return doc.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

std::string retryInventory(const std::vector<InventoryUnit>& units,
                           const std::vector<UnitResult>& results, const std::string& heading) {
    std::string text = "# " + heading + "\n";
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (isFailure(results[i].outcome))
            text += units[i].text + "  # " + shownReason(results[i]) + "\n";
    }
    return text;
}

}  // namespace unitfleet
