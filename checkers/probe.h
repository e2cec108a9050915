// SPDX-License-Identifier: Apache-2.0
// probe: asks one unit once for its "UnitStatus" mode and prints the answer.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "checkers/status_exchange.h"

namespace checkers {

struct ProbeSettings {
    std::string address;
    std::chrono::milliseconds replyTimeout = kReplyTimeout;
};

// Exit status: 0 when the unit's reply was printed; 1 after a start-up or
// connection failure, and when no reply could be taken (a line then says
// why), so a script can tell a silent unit from an answering one.
int runProbe(const ProbeSettings& settings, std::FILE* out);

}  // namespace checkers
