// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/ansible_inventory.h"

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "unitfleet/commands.h"

namespace unitfleet {

namespace {

using nlohmann::ordered_json;

std::string hostName(const InventoryUnit& unit) {
    return unit.fileStem();
}

// A unit behind a port forward carries its port to the module's `port`.
ordered_json variables(const InventoryUnit& unit) {
    ordered_json vars{{"ansible_host", unit.address}, {"unit_groups", unit.groups}};
    if (unit.port != 0)
        vars["unit_port"] = unit.port;
    return vars;
}

std::string dump(const ordered_json& doc) {
    return doc.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string ansibleInventoryList(const std::vector<InventoryUnit>& units) {
    ordered_json doc = ordered_json::object();
    ordered_json hostvars = ordered_json::object();
    for (const InventoryUnit& unit : units) {
        if (unit.groups.empty())
            doc["ungrouped"]["hosts"].push_back(hostName(unit));
        for (const std::string& group : unit.groups) doc[group]["hosts"].push_back(hostName(unit));
        hostvars[hostName(unit)] = variables(unit);
    }
    doc["_meta"]["hostvars"] = std::move(hostvars);
    return dump(doc);
}

std::string ansibleHostVariables(const std::vector<InventoryUnit>& units, const std::string& host) {
    for (const InventoryUnit& unit : units) {
        if (hostName(unit) == host)
            return dump(variables(unit));
    }
    return "{}\n";
}

int runAnsibleInventory(const std::string& inventory, const std::string& host, std::FILE* out,
                        std::FILE* err) {
    std::optional<std::string> text = readTextFile(inventory);
    if (!text) {
        std::fprintf(err, "unitfleet: cannot read inventory %s: %s\n", inventory.c_str(),
                     std::strerror(errno));
        return kExitInputError;
    }
    Inventory parsed = parseInventory(*text, inventory);
    for (const std::string& fault : parsed.errors) std::fprintf(err, "%s\n", fault.c_str());
    if (!parsed.errors.empty())
        return kExitInputError;
    std::string doc = host.empty() ? ansibleInventoryList(parsed.units)
                                   : ansibleHostVariables(parsed.units, host);
    std::fputs(doc.c_str(), out);
    std::fflush(out);
    return kExitDone;
}

}  // namespace unitfleet
