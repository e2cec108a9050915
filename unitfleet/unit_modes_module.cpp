#include "unitfleet/unit_modes_module.h"

#include <cmath>

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
        args.modes->emplace_back(name, *text);
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
    if (key == "restart")
        return flag(args.restart);
    if (key == "_ansible_check_mode")
        return flag(args.checkMode);
    if (key == "_ansible_diff")
        return flag(args.diffMode);
    if (key == "timeout") {
        double seconds = value.is_number() ? value.get<double>()
                         : value.is_string()
                             ? std::strtod(value.get<std::string>().c_str(), nullptr)
                             : 0;
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
    return failed(std::move(result), msg);
}

WorkSettings workSettings(const ModuleArgs& args) {
    WorkSettings work;
    work.timeout = std::chrono::milliseconds(std::llround(args.timeoutSeconds * 1000));
    work.backupDir = args.backupDir;
    work.durable = true;
    work.commit = args.commit;
    work.restart = args.restart;
    return work;
}

ordered_json facts(const ModuleArgs& args, const InventoryUnit& unit) {
    protocol::ClientSession session;
    protocol::ModeTable table;
    std::optional<UnitResult> failure = readUnit(unit, workSettings(args), session, table);
    session.close();
    if (failure)
        return failedUnit(ordered_json::object(), *failure);
    ordered_json modes = ordered_json::object();
    for (const protocol::ModeRecord& record : table.records())
        modes[record.name] = record.nvram ? ordered_json(*record.nvram) : ordered_json(nullptr);
    return {{"changed", false}, {"ansible_facts", {{"unit_modes", modes}}}};
}

std::string iniText(const std::vector<std::pair<std::string, std::string>>& modes) {
    std::string text;
    for (const auto& [name, value] : modes) text += name + " = " + value + "\n";
    return text;
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
    if (!args.modes)
        return facts(args, unit);
    std::string ini = iniText(*args.modes);
    if (std::vector<std::string> faults = checkIni(ini, "modes"); !faults.empty())
        return failed(ordered_json::object(), faults.front());

    WorkSettings work = workSettings(args);
    work.iniText = ini;
    protocol::ClientSession session;
    // Asked first with queries only, so check mode and an idempotent run send
    // no set at all.
    protocol::ModeTable table;
    std::optional<UnitResult> failure = readUnit(unit, work, session, table);
    session.close();
    ordered_json result = ordered_json::object();
    if (failure)
        return failedUnit(std::move(result), *failure);
    // A mode the unit lacks is a typo in the task, not a value already set.
    for (const auto& [name, value] : *args.modes) {
        if (table.findMode(name) < 0)
            return failed(std::move(result), "the unit has no mode " + name);
    }
    UnitResult planned;
    planned.outcome = Outcome::Changes;
    planned.changes = plannedChanges(table, ini);
    describeChanges(result, args.address, planned.changes, args.diffMode);
    result["changed"] = !planned.changes.empty();
    if (planned.changes.empty()) {
        result["msg"] = "nothing to change";
        return result;
    }
    if (args.checkMode) {
        result["msg"] = reasonText(planned) + " would be set";
        return result;
    }
    UnitResult applied = workOnUnit(Command::Apply, unit, work, session);
    if (isFailure(applied.outcome))
        return failedUnit(std::move(result), applied);
    result["changed"] = applied.outcome == Outcome::Applied;
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
