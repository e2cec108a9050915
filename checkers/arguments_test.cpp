// SPDX-License-Identifier: Apache-2.0
#include "checkers/arguments.h"

#include <gtest/gtest.h>

namespace checkers {
namespace {

struct Case {
    const char* name;
    std::vector<std::string> args;
    bool delayAllowed;
    bool usage;
    std::string address;
    int delay;
    std::vector<int> announced;
};

class ParseArguments : public ::testing::TestWithParam<Case> {};

TEST_P(ParseArguments, GivesUsageAddressAndDelay) {
    const Case& c = GetParam();
    Arguments a = parseArguments(c.args, c.delayAllowed);
    EXPECT_EQ(a.showUsage, c.usage);
    if (!c.usage) {
        EXPECT_EQ(a.address, c.address);
    }
    EXPECT_EQ(a.delaySeconds, c.delay);
    EXPECT_EQ(a.announcedDelays, c.announced);
}

INSTANTIATE_TEST_SUITE_P(
    Checkers, ParseArguments,
    ::testing::Values(
        Case{"none", {}, false, true, "", 10, {}},
        Case{"oneAddress", {"10.1.2.3"}, false, false, "10.1.2.3", 10, {}},
        Case{"lastAddressWins", {"a", "b"}, false, false, "b", 10, {}},
        Case{"hyphenAfterAddress", {"a", "-x"}, false, true, "", 10, {}},
        Case{"slashBeforeAddress", {"/?", "a"}, false, true, "", 10, {}},
        Case{"probeRejectsDelay", {"-D5", "a"}, false, true, "", 10, {}},
        Case{"lowerD", {"-d7", "a"}, true, false, "a", 7, {7}},
        Case{"slashD", {"/D7", "a"}, true, false, "a", 7, {7}},
        Case{"zero", {"-D0", "a"}, true, false, "a", 1, {1}},
        Case{"negative", {"-D-3", "a"}, true, false, "a", 1, {1}},
        Case{"bare", {"-D", "a"}, true, false, "a", 1, {1}},
        Case{"letters", {"-Dx", "a"}, true, false, "a", 1, {1}},
        Case{"digitsThenLetters", {"-D12s", "a"}, true, false, "a", 12, {12}},
        Case{"leadingBlanks", {"-D  4", "a"}, true, false, "a", 4, {4}},
        Case{"separateNumberIsAddress", {"-D", "5"}, true, false, "5", 1, {1}},
        Case{"laterAddressOverridesNumber", {"-D", "5", "u"}, true, false, "u", 1, {1}},
        Case{"lastDelayCounts", {"-D3", "a", "-D9"}, true, false, "a", 9, {3, 9}},
        Case{"delaysBeforeBadOptionAnnounced", {"-D3", "-X", "-D9", "a"}, true, true, "", 3, {3}},
        Case{"delayOnlyNoAddress", {"-D3"}, true, true, "", 3, {3}},
        Case{"hugeDelaySaturates", {"-D99999999999", "a"}, true, false, "a", 2147483647,
             {2147483647}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseArguments, CutsAddressTo255Characters) {
    std::vector<std::string> args{std::string(300, 'h')};
    Arguments a = parseArguments(args, false);
    EXPECT_EQ(a.address, std::string(255, 'h'));
}

TEST(AtoiLike, ReadsAsTheCLibraryDoes) {
    EXPECT_EQ(atoiLike(""), 0);
    EXPECT_EQ(atoiLike("\t-12abc"), -12);
    EXPECT_EQ(atoiLike("- 3"), 0);
    EXPECT_EQ(atoiLike("-99999999999"), -2147483647 - 1);
}

}  // namespace
}  // namespace checkers
