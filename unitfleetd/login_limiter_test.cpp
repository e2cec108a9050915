// SPDX-License-Identifier: Apache-2.0
#include "unitfleetd/login_limiter.h"

#include <gtest/gtest.h>

namespace unitfleetd {
namespace {

using namespace std::chrono_literals;
using Clock = LoginLimiter::Clock;

TEST(LoginLimiter, TheEleventhFailureWithinAMinuteIsRefused) {
    LoginLimiter limiter;
    auto t0 = Clock::time_point{} + 1h;
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(limiter.allowed("10.0.0.1", "ann", t0 + i * 1s)) << i;
        limiter.failed("10.0.0.1", "ann", t0 + i * 1s);
    }
    EXPECT_FALSE(limiter.allowed("10.0.0.1", "ann", t0 + 30s));
    // The same user from elsewhere, and elsewhere the same address: both held.
    EXPECT_FALSE(limiter.allowed("10.0.0.2", "ann", t0 + 30s));
    EXPECT_FALSE(limiter.allowed("10.0.0.1", "bob", t0 + 30s));
    EXPECT_TRUE(limiter.allowed("10.0.0.2", "bob", t0 + 30s));
    // A minute after the first failure, one attempt is free again.
    EXPECT_TRUE(limiter.allowed("10.0.0.1", "ann", t0 + 60s));
}

TEST(LoginLimiter, AForgivenAttemptDoesNotCount) {
    LoginLimiter limiter;
    auto t0 = Clock::time_point{} + 1h;
    for (int i = 0; i < 10; ++i) {
        limiter.failed("10.0.0.1", "ann", t0 + i * 1ms);
        limiter.forgive("10.0.0.1", "ann", t0 + i * 1ms);
    }
    EXPECT_TRUE(limiter.allowed("10.0.0.1", "ann", t0 + 1s));
}

TEST(LoginLimiter, ManyAddressesDoNotGrowItForEver) {
    LoginLimiter limiter;
    auto t0 = Clock::time_point{} + 1h;
    for (int i = 0; i < 1000; ++i) limiter.failed("10.0." + std::to_string(i), "u", t0);
    // Long after, a sweep drops them all; nothing is refused.
    EXPECT_TRUE(limiter.allowed("10.0.1", "u", t0 + 5min));
}

}  // namespace
}  // namespace unitfleetd
