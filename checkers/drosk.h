// SPDX-License-Identifier: Apache-2.0
// Drosk: watches one unit, asking for its "UnitStatus" mode at an interval,
// numbering the answers since the last failed connection.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "checkers/status_exchange.h"

namespace checkers {

struct DroskSettings {
    std::string address;
    int delaySeconds = 10;
    std::chrono::milliseconds replyTimeout = kReplyTimeout;
    // Waits between checks; tests replace it to run without real delays.
    std::function<void(std::chrono::seconds)> wait;
    // Stop after this many connection attempts (0: never, as the program runs).
    long maxAttempts = 0;
};

// Start-up failures end with 1 after their message. Otherwise checks until
// `maxAttempts` is reached (for ever in the program) and returns 0.
int runDrosk(const DroskSettings& settings, std::FILE* out);

}  // namespace checkers
