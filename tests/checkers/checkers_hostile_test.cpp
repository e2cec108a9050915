// SPDX-License-Identifier: Apache-2.0
// Units that would hold probe or Drosk for ever: each check ends within the
// stated limit (10 s a reply, 5 s a connect) with its message; keep-alives
// ahead of the reply are skipped, not printed as the status.
#include <gtest/gtest.h>

#include <regex>

#include "checkers/status_exchange.h"
#include "tests/support/dropping_address.h"
#include "tests/support/hostile_unit.h"
#include "tests/support/process.h"
#include "unitsim/unit.h"

namespace {

using namespace std::chrono_literals;
using support::elapsedSince;
using support::kSlack;

struct Hostile {
    support::HostileCase unit;
    std::string address;
};

// probe and Drosk share the units, each on addresses of its own.
std::vector<Hostile> hostileUnits(int firstHost) {
    std::vector<Hostile> cases;
    for (support::HostileCase& c : support::hostileAnswers(checkers::kMessageBufferSize - 1))
        cases.push_back({c, "127.0.3." + std::to_string(firstHost++)});
    return cases;
}

std::string name(const ::testing::TestParamInfo<Hostile>& info) {
    return info.param.unit.name;
}

const std::string kTime = R"([A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\d \d\d:\d\d:\d\d \d{4}\n)";

class ProbeHostile : public ::testing::TestWithParam<Hostile> {};

TEST_P(ProbeHostile, EndsWithinTheReplyLimit) {
    const Hostile& c = GetParam();
    support::ScriptedUnit unit(c.address, support::ScriptedUnit::inTurn({c.unit.answer}));
    ASSERT_TRUE(unit.listening());
    auto start = std::chrono::steady_clock::now();
    support::RunResult r = support::run({PROBE_BIN, c.address});
    auto took = elapsedSince(start);
    EXPECT_EQ(r.out, "No reply from " + c.address + " within 10 seconds\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_GE(took, checkers::kReplyTimeout - 500ms);
    EXPECT_LE(took, checkers::kReplyTimeout + kSlack);
}

INSTANTIATE_TEST_SUITE_P(Units, ProbeHostile, ::testing::ValuesIn(hostileUnits(40)), name);

class DroskHostile : public ::testing::TestWithParam<Hostile> {};

TEST_P(DroskHostile, EveryCheckEndsWithinTheReplyLimit) {
    const Hostile& c = GetParam();
    support::ScriptedUnit unit(c.address, support::ScriptedUnit::inTurn({}, c.unit.answer));
    ASSERT_TRUE(unit.listening());
    auto start = std::chrono::steady_clock::now();
    support::Background d({DROSK_BIN, "-D1", c.address});
    std::string line = "0: No reply from " + c.address + " within 10 seconds\n";
    ASSERT_TRUE(d.waitForOutput(line, checkers::kReplyTimeout + kSlack)) << d.outputSoFar();
    EXPECT_GE(elapsedSince(start), checkers::kReplyTimeout - 500ms);
    EXPECT_EQ(d.stop().out.rfind("Delay in seconds: 1\n" + line, 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Units, DroskHostile, ::testing::ValuesIn(hostileUnits(50)), name);

TEST(ProbeUnreachable, AnAddressThatDropsConnectionAttemptsEndsAfterTheConnectLimit) {
    support::DroppingAddress dropping("127.0.3.60");
    ASSERT_TRUE(dropping.dropping());
    auto start = std::chrono::steady_clock::now();
    support::RunResult r = support::run({PROBE_BIN, "127.0.3.60"});
    auto took = elapsedSince(start);
    EXPECT_TRUE(
        std::regex_match(r.out, std::regex("Error connecting to 127\\.0\\.3\\.60 at " + kTime)))
        << r.out;
    EXPECT_EQ(r.status, 1);
    EXPECT_GE(took, checkers::kConnectTimeout - 500ms);
    EXPECT_LE(took, checkers::kConnectTimeout + kSlack);
}

TEST(DroskUnreachable, EachAttemptOnAnAddressThatDropsThemEndsAfterTheConnectLimit) {
    support::DroppingAddress dropping("127.0.3.61");
    ASSERT_TRUE(dropping.dropping());
    auto start = std::chrono::steady_clock::now();
    support::Background d({DROSK_BIN, "-D1", "127.0.3.61"});
    ASSERT_TRUE(
        d.waitForOutput("Error connecting to 127.0.3.61 at ", checkers::kConnectTimeout + kSlack))
        << d.outputSoFar();
    EXPECT_GE(elapsedSince(start), checkers::kConnectTimeout - 500ms);
}

TEST(ProbeKeepAlives, AreSkippedSoTheRealStatusIsPrinted) {
    unitsim::Options options;
    options.address = "127.0.3.62";
    options.faults.keepAlivesBeforeReply = 3;
    unitsim::Unit unit(options);
    std::string why;
    ASSERT_TRUE(unit.start(why)) << why;
    support::RunResult r = support::run({PROBE_BIN, "127.0.3.62"});
    EXPECT_EQ(r.out, "UnitStatus = OK\r\n");
    EXPECT_EQ(r.status, 0);
}

}  // namespace
