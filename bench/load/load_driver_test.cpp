// SPDX-License-Identifier: Apache-2.0
#include "bench/load/load_driver.h"

#include <gtest/gtest.h>

namespace load {
namespace {

TEST(LoadDriver, CountsAnswersFromTheBareLoop) {
    BareServer bare("127.0.3.200", 1283, Bytes{'o', 'k', 0});
    std::string why;
    ASSERT_TRUE(bare.start(why)) << why;
    LoadOptions options;
    options.host = "127.0.3.200";
    options.request = Bytes{'x', 0};
    options.requests = 50;
    options.expectedAnswer = Bytes{'o', 'k', 0};
    LoadResult r = runLoad(options);
    EXPECT_EQ(r.completed, 50u);
    EXPECT_EQ(r.failed, 0u);
    EXPECT_GT(r.perSecond(), 0);
    options.expectedAnswer = Bytes{'n', 'o', 0};
    options.requests = 5;
    EXPECT_EQ(runLoad(options).failed, 5u);
    bare.stop();
    EXPECT_GE(bare.served(), 55u);
}

TEST(LoadDriver, RefusesAddressesOutsideLoopback) {
    LoadOptions options;
    options.host = "192.0.2.1";
    options.requests = 1;
    LoadResult r = runLoad(options);
    EXPECT_EQ(r.completed + r.failed, 0u);
    EXPECT_FALSE(r.error.empty());
    BareServer bare("10.0.0.1", 1283, {});
    std::string error;
    EXPECT_FALSE(bare.start(error));
    EXPECT_EQ(error, "not a loopback address");
}

TEST(LoadDriver, FailedConnectionsAreCountedNotHung) {
    LoadOptions options;
    options.host = "127.0.3.201";  // nothing listens there
    options.requests = 3;
    LoadResult r = runLoad(options);
    EXPECT_EQ(r.failed, 3u);
}

}  // namespace
}  // namespace load

namespace load {
namespace {

TEST(LoadDriver, BareLoopInItsOwnProcess) {
    BareServerProcess bare("127.0.3.203", 1283, Bytes{'o', 'k', 0});
    ASSERT_TRUE(bare.started());
    LoadOptions options;
    options.host = "127.0.3.203";
    options.request = Bytes{'x', 0};
    options.requests = 20;
    options.expectedAnswer = Bytes{'o', 'k', 0};
    EXPECT_EQ(runLoad(options).completed, 20u);
}

}  // namespace
}  // namespace load
