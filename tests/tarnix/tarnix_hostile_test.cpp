// SPDX-License-Identifier: Apache-2.0
// Units that would hold Tarnix for ever: each run ends within the stated
// limit (10 s a reply, 5 s a connect) with its message and status; and
// keep-alives ahead of the replies are skipped, not taken as replies.
#include <chrono>

#include "tarnix/options.h"
#include "tarnix/session.h"
#include "tests/support/dropping_address.h"
#include "tests/support/hostile_unit.h"
#include "tests/tarnix/unit_fixture.h"

namespace tarnix_test {
namespace {

using namespace std::chrono_literals;
using support::elapsedSince;
using support::HostileCase;
using support::kSlack;

struct Hostile {
    HostileCase unit;
    int host;
};

std::vector<Hostile> hostileUnits() {
    std::vector<Hostile> cases;
    int host = 90;
    for (HostileCase& c : support::hostileAnswers(tarnix::kFrameBufferSize))
        cases.push_back({c, host++});
    return cases;
}

class TarnixHostile : public UnitFixture, public ::testing::WithParamInterface<Hostile> {};

TEST_P(TarnixHostile, EndsWithinTheReplyLimit) {
    const Hostile& c = GetParam();
    support::ScriptedUnit unit(address(c.host), support::ScriptedUnit::inTurn({c.unit.answer}));
    ASSERT_TRUE(unit.listening());
    tarnix::Settings defaults;
    auto start = std::chrono::steady_clock::now();
    support::RunResult r = tarnix({address(c.host)});
    auto took = elapsedSince(start);
    EXPECT_EQ(r.err, "No reply from " + address(c.host) + " within 10 seconds\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_GE(took, defaults.replyTimeout - 500ms);
    EXPECT_LE(took, defaults.replyTimeout + kSlack);
}

INSTANTIATE_TEST_SUITE_P(Units, TarnixHostile, ::testing::ValuesIn(hostileUnits()),
                         [](const auto& info) { return std::string(info.param.unit.name); });

class TarnixUnreachable : public UnitFixture {};

TEST_F(TarnixUnreachable, AnAddressThatDropsConnectionAttemptsEndsAfterTheConnectLimit) {
    support::DroppingAddress dropping(address(95));
    ASSERT_TRUE(dropping.dropping());
    auto start = std::chrono::steady_clock::now();
    support::RunResult r = tarnix({address(95)});
    auto took = elapsedSince(start);
    EXPECT_EQ(r.out, "Error connecting to node 127.0.2.95\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_GE(took, tarnix::kConnectTimeout - 500ms);
    EXPECT_LE(took, tarnix::kConnectTimeout + kSlack);
}

class TarnixKeepAlives : public UnitFixture {};

TEST_F(TarnixKeepAlives, AreSkippedSoListingSetAndGetShowTheRealReplies) {
    unitsim::Faults chatty;
    chatty.keepAlivesBeforeReply = 2;
    startUnit(96);
    startUnit(97, testModes(), chatty);
    support::RunResult plain = tarnix({address(96)});
    support::RunResult r = tarnix({address(97)});
    ASSERT_EQ(plain.status, 0);
    std::string expected = plain.out;
    expected.replace(expected.find(address(96)), address(96).size(), address(97));
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 0);

    writeIni("UnitID = Changed\n");
    r = tarnix({"-s", address(97)});
    EXPECT_NE(r.out.find(modeLine("UnitID", "Changed")), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("NOP_"), std::string::npos) << r.out;
    EXPECT_EQ(r.status, 0);

    r = tarnix({"-gUnitID", address(97)});
    EXPECT_EQ(r.out, "UnitID = Changed\r\n");
    EXPECT_EQ(r.status, 0);
}

}  // namespace
}  // namespace tarnix_test
