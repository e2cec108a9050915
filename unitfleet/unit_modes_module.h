// The Ansible module unit_modes: one unit's modes brought to the values a
// task asks for, with Ansible's check and diff modes, or read as facts when
// the task names no modes. Built on the same per-unit work as unitfleet.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace unitfleet {

struct ModuleArgs {
    std::string address;
    std::optional<std::vector<std::pair<std::string, std::string>>> modes;  // nothing: facts
    bool commit = false;
    bool restart = false;
    double timeoutSeconds = 10;
    std::string backupDir;   // where the listing from before a change goes (empty: none)
    bool checkMode = false;  // _ansible_check_mode
    bool diffMode = false;   // _ansible_diff
};

// The task's arguments as Ansible writes them to the arguments file; nothing
// and a message in `error` for a missing, unknown or mistyped argument.
std::optional<ModuleArgs> parseModuleArgs(const nlohmann::json& doc, std::string& error);

// Works on the unit and gives the module's result document (changed, failed,
// msg, diff, changes, committed, ansible_facts).
nlohmann::ordered_json runUnitModes(const ModuleArgs& args);

// The whole module: reads the arguments file and returns the document to print.
nlohmann::ordered_json unitModesFromFile(const std::string& argsFile);

}  // namespace unitfleet
