// SPDX-License-Identifier: Apache-2.0
#include "tests/support/hostile_unit.h"

namespace support {

std::vector<HostileCase> hostileAnswers(std::uint32_t largest) {
    using std::chrono::milliseconds;
    return {
        {"oneByteASecond",
         trickle(modeReply("UnitStatus = a reply that takes half a minute"), milliseconds(1000))},
        {"keepAlivesForever", keepAlivesForever(milliseconds(500))},
        {"largeLengthThenSilence", lengthThenSilence(largest)},
    };
}

}  // namespace support
