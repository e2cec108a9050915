// SPDX-License-Identifier: Apache-2.0
#include "platform/stop_signals.h"

#include <gtest/gtest.h>

#include <csignal>

namespace platform {
namespace {

// The first signal only asks; the second ends the process at once with the
// status of a process killed by it. Each case runs in a child of its own.
TEST(StopSignalsDeathTest, TheFirstAsksTheSecondEndsAtOnce) {
    struct Case {
        int signal;
        int status;
    } cases[] = {{SIGINT, 130}, {SIGTERM, 143}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.signal);
        EXPECT_EXIT(
            {
                catchStopSignals();
                std::raise(c.signal);
                if (stopSignal() != c.signal)
                    std::_Exit(1);
                std::raise(c.signal);
                std::_Exit(2);  // not reached
            },
            ::testing::ExitedWithCode(c.status), "");
    }
}

}  // namespace
}  // namespace platform
