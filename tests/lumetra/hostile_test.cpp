// SPDX-License-Identifier: Apache-2.0
// Units that would hold a caller of the library for ever: with the library's
// own limits (10 s a reply, 0.5 s a connect) every call ends in time and
// fails as the header promises.
#include "tests/lumetra/library_fixture.h"
#include "tests/support/dropping_address.h"
#include "tests/support/hostile_unit.h"

namespace lumetra_test {
namespace {

using namespace std::chrono_literals;

struct Hostile {
    HostileCase unit;
    std::string address;     // for the open
    std::string getAddress;  // for GetMode: ctest runs the two side by side
};

std::vector<Hostile> hostileUnits() {
    std::vector<Hostile> cases;
    int host = 130;
    for (HostileCase& c : hostileAnswers(100000)) {
        cases.push_back(
            {c, "127.0.1." + std::to_string(host), "127.0.1." + std::to_string(host + 5)});
        ++host;
    }
    return cases;
}

// The library as a program gets it: its real time-outs.
class LumetraHostile : public LibraryTest, public ::testing::WithParamInterface<Hostile> {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        lumetra::session().setTimeouts(lumetra::kReceiveTimeout, lumetra::kSendTimeout);
    }
};

TEST_P(LumetraHostile, OpenEndsWithinTheReplyLimit) {
    const Hostile& c = GetParam();
    ScriptedUnit unit(c.address, ScriptedUnit::inTurn({c.unit.answer}));
    ASSERT_TRUE(unit.listening());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(uxOpen(c.address.c_str()), 0);
    auto took = since(start);
    EXPECT_GE(took, std::chrono::milliseconds(LUMETRA_RECEIVE_TIMEOUT_MS) - 500ms);
    EXPECT_LE(took, std::chrono::milliseconds(LUMETRA_RECEIVE_TIMEOUT_MS) + kSlack);
    // The broken connection is closed: later calls fail at once.
    EXPECT_EQ(take(GetMode("UnitID")), "");
    EXPECT_LE(since(start), std::chrono::milliseconds(LUMETRA_RECEIVE_TIMEOUT_MS) + kSlack);
}

TEST_P(LumetraHostile, GetModeEndsWithinTheReplyLimit) {
    const Hostile& c = GetParam();
    ScriptedUnit unit(c.getAddress, smallUnit());
    ASSERT_EQ(uxOpen(c.getAddress.c_str()), 4);
    unit.respond(ScriptedUnit::inTurn({c.unit.answer}));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(take(GetMode("UnitID")), "");
    auto took = since(start);
    EXPECT_GE(took, std::chrono::milliseconds(LUMETRA_RECEIVE_TIMEOUT_MS) - 500ms);
    EXPECT_LE(took, std::chrono::milliseconds(LUMETRA_RECEIVE_TIMEOUT_MS) + kSlack);
}

INSTANTIATE_TEST_SUITE_P(Units, LumetraHostile, ::testing::ValuesIn(hostileUnits()),
                         [](const auto& info) { return std::string(info.param.unit.name); });

TEST_F(LibraryTest, OpenOfAnAddressThatDropsConnectionAttemptsEndsAfterHalfASecond) {
    DroppingAddress dropping("127.0.1.140");
    ASSERT_TRUE(dropping.dropping());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(uxOpen("127.0.1.140"), 0);
    auto took = since(start);
    EXPECT_EQ(uxGetLastError(), 1);
    EXPECT_GE(took, std::chrono::milliseconds(LUMETRA_CONNECT_TIMEOUT_MS) - 50ms);
    EXPECT_LE(took, std::chrono::milliseconds(LUMETRA_CONNECT_TIMEOUT_MS) + kSlack);
}

}  // namespace
}  // namespace lumetra_test
