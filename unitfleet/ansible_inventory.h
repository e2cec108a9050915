// SPDX-License-Identifier: Apache-2.0
// An inventory in the form Ansible's inventory scripts give: groups as
// groups, each unit's name (or its address) as the host name, its address as
// ansible_host. The installed script unitfleet_inventory calls this mode.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "unitfleet/inventory.h"

namespace unitfleet {

// The --list document: every group with its hosts ("ungrouped" for units
// without a group) and _meta.hostvars for every host.
std::string ansibleInventoryList(const std::vector<InventoryUnit>& units);

// The --host document: the variables of one host, {} for one not listed.
std::string ansibleHostVariables(const std::vector<InventoryUnit>& units, const std::string& host);

// Reads INVENTORY and prints the document asked for (`host` empty: --list).
// 0 on success, 2 when the inventory cannot be read or has faults.
int runAnsibleInventory(const std::string& inventory, const std::string& host, std::FILE* out,
                        std::FILE* err);

}  // namespace unitfleet
