// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/schedule.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace unitfleetd {
namespace {

// The daily run in a zone with summer time (Central Europe's rules, written
// out so that no zone database is needed), put back after each test.
class Schedule : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ"))
            saved_ = tz;
        ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        ::tzset();
    }
    void TearDown() override {
        if (saved_)
            ::setenv("TZ", saved_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    std::optional<std::string> saved_;
};

struct DailyCase {
    const char* what;
    std::time_t now;  // seconds since 1970, UTC
    int hour, minute;
    double wait;
};

TEST_F(Schedule, NextDailyRunCountsCalendarDays) {
    const DailyCase cases[] = {
        {"later today", 1781526615 /* 2026-06-15 14:30:15 CEST */, 14, 31, 45},
        {"now: tomorrow's", 1781526600 /* 14:30:00 */, 14, 30, 86400},
        {"just missed", 1781526601, 14, 30, 86399},
        {"over the new year", 1798757999 /* 2026-12-31 23:59:59 CET */, 0, 0, 1},
        {"a spring day of 23 hours", 1774666800 /* 2026-03-28 04:00 CET */, 4, 0, 23 * 3600},
        {"an autumn day of 25 hours", 1792807200 /* 2026-10-24 04:00 CEST */, 4, 0, 25 * 3600},
        {"a skipped time runs an hour later", 1774666800, 2, 30, 22.5 * 3600},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::difftime(nextDailyRun(c.now, c.hour, c.minute), c.now), c.wait) << c.what;
}

TEST_F(Schedule, TheHourThatComesTwiceRunsOnce) {
    // 2026-10-25 02:30 comes at 00:30 UTC (summer time) and 01:30 UTC
    // (winter time): a run at either is followed by the next day's.
    const std::time_t nextDay = 1792978200;  // 2026-10-26 02:30 CET
    for (std::time_t run : {std::time_t{1792888200}, std::time_t{1792891800}})
        EXPECT_EQ(followingDailyRun(run, 2, 30), nextDay) << run;
}

TEST(Jitter, StaysWithinItsBound) {
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
