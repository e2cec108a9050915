// SPDX-License-Identifier: Apache-2.0
// The Ansible module's arguments file on any bytes: parsed as JSON, then as
// the task's arguments. Whatever it accepts holds an address, a time-out in
// range and, when modes are given, settings whose names and values either
// pass the data checks or are refused by them before any unit is contacted.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "unitfleet/mode_plan.h"
#include "unitfleet/unit_modes_module.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    nlohmann::json doc = nlohmann::json::parse(data, data + size, nullptr, false);
    if (doc.is_discarded())
        return 0;
    std::string error;
    std::optional<unitfleet::ModuleArgs> args = unitfleet::parseModuleArgs(doc, error);
    if (!args) {
        if (error.empty())
            std::abort();
        return 0;
    }
    if (args->address.empty() || !(args->timeoutSeconds >= 0.1 && args->timeoutSeconds <= 3600))
        std::abort();
    if (args->restart && !args->commit)
        std::abort();
    if (!args->modes)
        return 0;
    std::vector<std::string> faults = unitfleet::checkSettings(*args->modes, "modes");
    if (!faults.empty())
        return 0;
    // What passes goes out as set lines: one line each, naming one mode.
    for (const unitfleet::ModeSetting& mode : *args->modes) {
        std::string line = unitfleet::setLine({mode.name, std::nullopt, mode.value});
        if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            std::abort();
        if (mode.name.find('=') != std::string::npos)
            std::abort();
    }
    return 0;
}
