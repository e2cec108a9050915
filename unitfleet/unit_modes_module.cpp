// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/unit_modes_module.h"

#include <cmath>

#include "platform/parse.h"
#include "unitfleet/inventory.h"
#include "unitfleet/mode_plan.h"
#include "unitfleet/unit_work.h"

namespace unitfleet {

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// Ansible's own spellings of yes and no; YAML mostly hands over real booleans.
std::optional<bool> asBool(const json& value) {
    if (value.is_boolean())
        return value.get<bool>();
    if (value.is_number_integer())
        return value.get<long long>() != 0;
    if (!value.is_string())
        return std::nullopt;
    std::string text = value.get<std::string>();
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (text == "yes" || text == "true" || text == "on" || text == "1")
        return true;
    if (text == "no" || text == "false" || text == "off" || text == "0")
        return false;
    return std::nullopt;
}

// A mode's value as the unit spells it: booleans as TRUE and FALSE.
std::optional<std::string> asModeValue(const json& value) {
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_boolean())
        return value.get<bool>() ? "TRUE" : "FALSE";
    if (value.is_number())
        return value.dump();
    return std::nullopt;
}

bool parseModes(const json& value, ModuleArgs& args, std::string& error) {
    if (!value.is_object()) {
        error = "modes must be a mapping of mode names to values";
        return false;
    }
    args.modes.emplace();
    for (const auto& [name, v] : value.items()) {
        std::optional<std::string> text = asModeValue(v);
        if (!text) {
            error = "the value of mode " + name + " must be a string, number or boolean";
            return false;
        }
        args.modes->push_back({name, *text, 0});
    }
    return true;
}

bool parseOne(const std::string& key, const json& value, ModuleArgs& args, std::string& error) {
    auto flag = [&](bool& into) {
        std::optional<bool> b = asBool(value);
        if (!b)
            error = key + " must be a boolean";
        into = b.value_or(false);
        return b.has_value();
    };
    if (key == "address" || key == "backup_dir") {
        if (!value.is_string() || value.get<std::string>().empty()) {
            error = key + " must be a non-empty string";
            return false;
        }
        (key == "address" ? args.address : args.backupDir) = value.get<std::string>();
        return true;
    }
    if (key == "modes")
        return value.is_null() || parseModes(value, args, error);
    if (key == "commit")
        return flag(args.commit);
    if (key == "skip_unknown")
        return flag(args.skipUnknown);
    if (key == "port") {
        std::optional<std::uint16_t> port;
        if (value.is_number_unsigned() && value.get<std::uint64_t>() <= 65535)
            port = static_cast<std::uint16_t>(value.get<std::uint64_t>());
        else if (value.is_string())
            port = platform::parsePort(value.get<std::string>());
        if (!port || *port == 0) {
            error = "port must be a TCP port, 1 to 65535";
            return false;
        }
        args.port = *port;
        return true;
    }
    if (key == "restart")
        return flag(args.restart);
    if (key == "_ansible_check_mode")
        return flag(args.checkMode);
    if (key == "_ansible_diff")
        return flag(args.diffMode);
    if (key == "timeout") {
        std::optional<double> parsed;
        if (value.is_number())
            parsed = value.get<double>();
        else if (value.is_string())
            parsed = platform::parseSeconds(value.get<std::string>(), 3600);
        double seconds = parsed.value_or(0);
        if (!(seconds >= 0.1 && seconds <= 3600)) {
            error = "timeout must be a number of seconds from 0.1 to 3600";
            return false;
        }
        args.timeoutSeconds = seconds;
        return true;
    }
    if (key.rfind("_ansible_", 0) == 0)
        return true;  // Ansible's other internal settings
    error = "unsupported parameter for unit_modes: " + key;
    return false;
}

ordered_json failed(ordered_json result, const std::string& msg) {
    result["changed"] = false;
    result["failed"] = true;
    result["msg"] = msg;
    return result;
}

ordered_json failedUnit(ordered_json result, const UnitResult& unit) {
    std::string msg = reasonText(unit);
    if (!unit.unitText.empty())
        msg += ": " + unit.unitText;
    result["outcome"] = outcomeName(unit.outcome);
    result = failed(std::move(result), msg);
    // Values were set before the failure: the unit is not as it was.
    result["changed"] = !unit.sent.empty();
    result["sent"] = unit.sent;
    return result;
}

WorkSettings workSettings(const ModuleArgs& args) {
    WorkSettings work;
    work.timeout = std::chrono::milliseconds(std::llround(args.timeoutSeconds * 1000));
    work.backupDir = args.backupDir;
    work.durable = true;
    work.commit = args.commit;
    work.restart = args.restart;
    work.skipUnknown = args.skipUnknown;
    return work;
}

ordered_json facts(const ModuleArgs& args, const InventoryUnit& unit) {
    protocol::ClientSession session;
    protocol::ModeTable table;
    UnitFailure failure;
    bool read = readUnit(unit, workSettings(args), session, table, failure);
    session.close();
    if (!read)
        return failedUnit(ordered_json::object(), resultOf(std::move(failure)));
    ordered_json modes = ordered_json::object();
    for (const protocol::ModeRecord& record : table.records())
        modes[record.name] = record.nvram ? ordered_json(*record.nvram) : ordered_json(nullptr);
    return {{"changed", false}, {"ansible_facts", {{"unit_modes", modes}}}};
}

void describeChanges(ordered_json& result, const std::string& address,
                     const std::vector<Change>& changes, bool diffMode) {
    ordered_json list = ordered_json::array();
    std::string before, after;
    for (const Change& c : changes) {
        list.push_back({{"mode", c.mode},
                        {"before", c.unitValue ? ordered_json(*c.unitValue) : nullptr},
                        {"after", c.newValue}});
        before += c.mode + " = " + c.unitValue.value_or("(null)") + "\n";
        after += c.mode + " = " + c.newValue + "\n";
    }
    result["changes"] = std::move(list);
    if (diffMode && !changes.empty()) {
        result["diff"] = {{"before_header", address + " (unit)"},
                          {"after_header", address + " (task)"},
                          {"before", before},
                          {"after", after}};
    }
}

}  // namespace

std::optional<ModuleArgs> parseModuleArgs(const json& doc, std::string& error) {
    if (!doc.is_object()) {
        error = "the arguments file does not hold a JSON object";
        return std::nullopt;
    }
    ModuleArgs args;
    for (const auto& [key, value] : doc.items()) {
        if (!parseOne(key, value, args, error))
            return std::nullopt;
    }
    if (args.address.empty()) {
        error = "missing required argument: address";
        return std::nullopt;
    }
    if (args.restart && !args.commit) {
        error = "restart needs commit: a restart drops uncommitted values";
        return std::nullopt;
    }
    return args;
}

ordered_json runUnitModes(const ModuleArgs& args) {
    InventoryUnit unit;
    unit.address = args.address;
    unit.port = args.port;
    if (!args.modes)
        return facts(args, unit);
    // Names and values are data: a value holding a line break or a name
    // holding '=' would set modes the task never named.
    if (std::vector<std::string> faults = checkSettings(*args.modes, "modes"); !faults.empty())
        return failed(ordered_json::object(), faults.front());

    WorkSettings work = workSettings(args);
    work.settings = *args.modes;
    protocol::ClientSession session;
    // Asked first with queries only, so check mode and an idempotent run send
    // no set at all.
    protocol::ModeTable table;
    UnitFailure failure;
    bool read = readUnit(unit, work, session, table, failure);
    session.close();
    ordered_json result = ordered_json::object();
    if (!read)
        return failedUnit(std::move(result), resultOf(std::move(failure)));
    // The same checks as unitfleet apply: a mode the unit lacks is a typo in
    // the task, not a value already set; a value must fit the mode's type.
    std::vector<ModeSetting> wanted = *args.modes;
    std::vector<std::string> unknown = unknownModes(table, wanted);
    if (!unknown.empty() && !args.skipUnknown)
        return failed(std::move(result), noModeText(table, unknown.front()));
    if (std::vector<std::string> faults = valueFaults(table, wanted); !faults.empty())
        return failed(std::move(result), faults.front());
    UnitResult planned;
    planned.outcome = Outcome::Changes;
    planned.changes = plannedChanges(table, wanted);
    planned.skipped = unknown;
    describeChanges(result, args.address, planned.changes, args.diffMode);
    if (!unknown.empty())
        result["skipped"] = unknown;
    result["changed"] = !planned.changes.empty();
    // commit: true commits also when nothing needs setting now: values an
    // earlier run left uncommitted would be lost at the next restart.
    if (planned.changes.empty() && !args.commit) {
        result["msg"] = "nothing to change";
        return result;
    }
    if (args.checkMode) {
        result["msg"] = planned.changes.empty() ? std::string("would commit, nothing to set")
                                                : reasonText(planned) + " would be set";
        return result;
    }
    UnitResult applied = workOnUnit(Command::Apply, 0, unit, work, session);
    if (isFailure(applied.outcome))
        return failedUnit(std::move(result), applied);
    // A commit alone is no change: an idempotent task stays unchanged on its
    // next run. Values set are.
    result["changed"] = !applied.sent.empty();
    result["committed"] = applied.committed;
    result["restarted"] = applied.restarted;
    result["msg"] = reasonText(applied);
    return result;
}

ordered_json unitModesFromFile(const std::string& argsFile) {
    std::optional<std::string> text = readTextFile(argsFile);
    if (!text)
        return failed(ordered_json::object(), "cannot read the arguments file " + argsFile);
    json doc = json::parse(*text, nullptr, false);
    if (doc.is_discarded())
        return failed(ordered_json::object(), "the arguments file " + argsFile + " is not JSON");
    std::string error;
    std::optional<ModuleArgs> args = parseModuleArgs(doc, error);
    if (!args)
        return failed(ordered_json::object(), error);
    return runUnitModes(*args);
}

}  // namespace unitfleet
