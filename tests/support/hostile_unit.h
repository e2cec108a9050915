// SPDX-License-Identifier: Apache-2.0
// The hostile units every configuration client must survive, as one table:
// each answers the first query so that a client that bounds only each
// receive, not the whole reply, would wait for minutes.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/scripted_unit.h"

namespace support {

struct HostileCase {
    const char* name;
    Answer answer;
};

// One byte a second of a whole reply; keep-alives every half second for
// ever; a header announcing `largest` bytes (the client's largest frame),
// then silence.
std::vector<HostileCase> hostileAnswers(std::uint32_t largest);

// How long a client may take beyond its stated limit before a test calls it
// stuck: room for a two-core machine running the whole suite four tests at a
// time (a bound of a few seconds failed there), still far below the hostile
// answers' own lengths (half a minute, or for ever).
inline constexpr std::chrono::seconds kSlack{20};

inline std::chrono::milliseconds elapsedSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

}  // namespace support
