// SPDX-License-Identifier: Apache-2.0
// status: every unit's UnitStatus as the status checkers ask it, whether it
// answered and how fast; as text, JSON, and a file for monitoring.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "unitfleet/inventory.h"
#include "unitfleet/mode_question.h"

namespace unitfleet {

// One unit's answer to the status question.
struct UnitState {
    ModeAnswer answer;
    bool up = false;  // a reply came (a refusal is a reply too)
    bool ok = false;  // its UnitStatus is the OK value
};

// Asks `unit` its UnitStatus, as status does for each unit.
UnitState askUnitStatus(protocol::ClientSession& session, const InventoryUnit& unit,
                        std::chrono::milliseconds timeout, const std::string& okStatus);

// "UnitStatus OK", "no UnitStatus value", "timed out", "unreachable: why".
std::string statusReason(const UnitState& state);

struct StatusSettings {
    std::string inventory;
    std::vector<std::string> groups;
    int jobs = 32;
    double timeoutSeconds = 10;
    bool json = false;
    std::string prometheus;       // the exposition file; empty: none
    std::string okStatus = "OK";  // the UnitStatus value that counts as OK (any case)
};

// 0 every unit up with an OK status, 1 otherwise, 2 on a usage or input error.
int runStatus(const StatusSettings& settings, std::FILE* out, std::FILE* err);

}  // namespace unitfleet
