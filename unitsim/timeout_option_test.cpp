// SPDX-License-Identifier: Apache-2.0
#include "unitsim/timeout_option.h"

#include <gtest/gtest.h>

namespace unitsim {
namespace {

using std::chrono::milliseconds;

TEST(TimeoutOption, SecondsMillisecondsAndTheOldSpelling) {
    struct Case {
        const char* text;
        long long ms;
        bool warned;
    } cases[] = {
        {"5", 5000, false},    {"0.25", 250, false},          {".5", 500, false},
        {"0.1", 100, false},   {"100", 100000, false},        {"0.0001", 1, false},
        {"750ms", 750, false}, {"3600000ms", 3600000, false}, {"5000", 5000, true},
        {"101", 101, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto t = parseTimeout(c.text);
        ASSERT_TRUE(t);
        EXPECT_EQ(t->value, milliseconds(c.ms));
        EXPECT_EQ(!t->warning.empty(), c.warned) << t->warning;
    }
    EXPECT_EQ(parseTimeout("5000")->warning,
              "--timeout is in seconds now; taking 5000 as milliseconds (write 5000ms)");
    for (const char* bad : {"", "0", "-1", "1s", "ms", "0ms", "100.5", "3600001", "1e3", " 5"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parseTimeout(bad));
    }
}

}  // namespace
}  // namespace unitsim
