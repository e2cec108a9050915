// SPDX-License-Identifier: Apache-2.0
// The Ansible module unit_modes: one unit's modes brought to the values a
// task asks for, with Ansible's check and diff modes, or read as facts when
// the task names no modes. Built on the same per-unit work as unitfleet.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "unitfleet/mode_plan.h"

namespace unitfleet {

struct ModuleArgs {
    std::string address;
    std::uint16_t port = 0;                         // 0: the units' port, 1283
    std::optional<std::vector<ModeSetting>> modes;  // nothing: facts
    bool commit = false;
    bool restart = false;
    bool skipUnknown = false;  // modes the unit lacks are skipped (and named), not a failure
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
