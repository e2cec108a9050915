// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/schedule.h"

#include <gtest/gtest.h>

namespace unitfleetd {
namespace {

struct DailyCase {
    int hour, minute, second;  // now
    int atHour, atMinute;      // the run
    double wait;
};

TEST(Schedule, SecondsUntilTheDailyRun) {
    const DailyCase cases[] = {
        {1, 0, 0, 2, 0, 3600},     // later today
        {2, 0, 0, 2, 0, 86400},    // now: tomorrow's
        {2, 0, 1, 2, 0, 86399},    // just missed
        {23, 59, 59, 0, 0, 1},     // over midnight
        {0, 0, 0, 23, 59, 86340},  // the day's last minute
        {14, 30, 15, 14, 31, 45},  // within the minute
    };
    for (const auto& c : cases) {
        std::tm now{};
        now.tm_hour = c.hour, now.tm_min = c.minute, now.tm_sec = c.second;
        EXPECT_DOUBLE_EQ(secondsUntilDaily(now, c.atHour, c.atMinute), c.wait)
            << c.hour << ":" << c.minute << ":" << c.second << " to " << c.atHour << ":"
            << c.atMinute;
    }
}

TEST(Schedule, JitterStaysWithinItsBound) {
    EXPECT_EQ(drawJitter(0), 0);
    EXPECT_EQ(drawJitter(-5), 0);
    for (int i = 0; i < 1000; ++i) {
        double j = drawJitter(1800);
        EXPECT_GE(j, 0);
        EXPECT_LE(j, 1800);
    }
}

}  // namespace
}  // namespace unitfleetd
