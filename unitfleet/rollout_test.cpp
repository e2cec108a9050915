// SPDX-License-Identifier: Apache-2.0
#include "unitfleet/rollout.h"

#include <gtest/gtest.h>

namespace unitfleet {
namespace {

TEST(Rollout, SharesAreCountsOrPercentages) {
    struct Case {
        const char* text;
        bool valid;
        long value;
        bool percent;
    } cases[] = {
        {"10", true, 10, false},   {"0", true, 0, false},     {"25%", true, 25, true},
        {"100%", true, 100, true}, {"101%", false, 0, false}, {"-1", false, 0, false},
        {"", false, 0, false},     {"%", false, 0, false},    {"5x", false, 0, false},
        {"1.5", false, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::optional<Share> share = parseShare(c.text);
        ASSERT_EQ(share.has_value(), c.valid);
        if (share) {
            EXPECT_EQ(share->value, c.value);
            EXPECT_EQ(share->percent, c.percent);
        }
    }
}

TEST(Rollout, BatchesFollowTheCanaryAndRoundSharesUp) {
    struct Case {
        std::size_t units;
        std::optional<Share> batch;
        std::size_t canary;
        std::vector<std::size_t> sizes;
    } cases[] = {
        {10, Share{3, false}, 0, {3, 3, 3, 1}},
        {10, Share{3, false}, 1, {1, 3, 3, 3}},
        {10, Share{25, true}, 0, {3, 3, 3, 1}},  // 2.5 rounds up
        {100, Share{10, true}, 5, {5, 10, 10, 10, 10, 10, 10, 10, 10, 10, 5}},
        {3, Share{1, true}, 0, {1, 1, 1}},  // a batch holds one unit at least
        {10, std::nullopt, 2, {2, 8}},
        {10, std::nullopt, 0, {10}},
        {2, Share{5, false}, 4, {2}},
    };
    for (const Case& c : cases) {
        RolloutPlan plan;
        plan.batch = c.batch;
        plan.canary = c.canary;
        EXPECT_EQ(batchSizes(c.units, plan), c.sizes) << c.units << " units, canary " << c.canary;
    }
}

TEST(Rollout, CeilingOfAShareRoundsDown) {
    EXPECT_EQ(failureCeiling(25, {10, true}), 2u);
    EXPECT_EQ(failureCeiling(100, {5, true}), 5u);
    EXPECT_EQ(failureCeiling(100, {7, false}), 7u);
    EXPECT_EQ(failureCeiling(9, {10, true}), 0u);
}

}  // namespace
}  // namespace unitfleet
