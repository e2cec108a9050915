// SPDX-License-Identifier: Apache-2.0
#include "unitsim/fleet.h"

#include <gtest/gtest.h>

namespace unitsim {
namespace {

TEST(FleetAddresses, OneARangeOrACount) {
    std::string error;
    EXPECT_EQ(parseAddressList("127.0.0.9", error), std::vector<std::string>{"127.0.0.9"});
    auto range = parseAddressList("127.0.1.254-127.0.2.1", error);
    ASSERT_TRUE(range);
    EXPECT_EQ(*range,
              (std::vector<std::string>{"127.0.1.254", "127.0.1.255", "127.0.2.0", "127.0.2.1"}));
    auto count = parseAddressList("3", error);
    ASSERT_TRUE(count);
    EXPECT_EQ(*count, (std::vector<std::string>{"127.0.1.1", "127.0.1.2", "127.0.1.3"}));
    auto block = parseAddressList("127.0.3.0/30", error);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->size(), 4u);
    for (const char* bad : {"0", "127.0.0.9-127.0.0.8", "127.0.0.1-x", "a-b", "99999",
                            "127.0.0.1-127.0.0.256", "127.0.0.0/8", "127.0.0.-1"}) {
        SCOPED_TRACE(bad);
        error.clear();
        EXPECT_FALSE(parseAddressList(bad, error));
        EXPECT_NE(error, "");
    }
}

TEST(FleetFaults, SharesAddToTheCommonFaults) {
    Faults common;
    common.keepAlivesBeforeReply = 1;
    std::vector<FaultShare> shares(2);
    shares[0] = *parseFaultShare("10+3");
    shares[0].faults.silent = true;
    shares[1] = *parseFaultShare("5");
    shares[1].faults.refusedModes = {"POSTimeout"};
    EXPECT_FALSE(faultsFor(0, common, shares).silent);
    EXPECT_EQ(faultsFor(0, common, shares).refusedModes.size(), 1u);
    EXPECT_TRUE(faultsFor(13, common, shares).silent);
    EXPECT_TRUE(faultsFor(13, common, shares).refusedModes.empty());
    EXPECT_EQ(faultsFor(13, common, shares).keepAlivesBeforeReply, 1);
    EXPECT_FALSE(faultsFor(4, common, shares).silent);
    for (const char* bad : {"0", "3+3", "x", "2+", "-1"}) EXPECT_FALSE(parseFaultShare(bad)) << bad;
}

TEST(FleetJournal, PerUnitPaths) {
    EXPECT_EQ(journalPathFor("j-%a.log", "127.0.0.5", true), "j-127.0.0.5.log");
    EXPECT_EQ(journalPathFor("j.log", "127.0.0.5", true), "j.log.127.0.0.5");
    EXPECT_EQ(journalPathFor("j.log", "127.0.0.5", false), "j.log");
    EXPECT_EQ(journalPathFor("", "127.0.0.5", true), "");
}

}  // namespace
}  // namespace unitsim
