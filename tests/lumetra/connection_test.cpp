// SPDX-License-Identifier: Apache-2.0
// uxOpen, ReOpen, uxClose, uxGetLastError and what every export does while
// no connection is open.
#include <functional>
#include <vector>

#include "tests/lumetra/library_fixture.h"
#include "tests/support/process.h"

namespace lumetra_test {
namespace {

using namespace std::chrono_literals;

class LumetraConnection : public LibraryTest {};

TEST_F(LumetraConnection, OpenSendsTheFiveQueriesInOrderAndCountsModes) {
    ScriptedUnit unit("127.0.1.10", smallUnit());
    ASSERT_TRUE(unit.listening());
    EXPECT_EQ(uxOpen("127.0.1.10"), 4);
    EXPECT_EQ(uxGetLastError(), 0);
    std::vector<Bytes> frames = unit.frames();
    ASSERT_EQ(frames.size(), 5u);
    const char* texts[] = {"ForceResponse=TRUE", "ForceError=TRUE", "ForceHelpText=TRUE", "", "*"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(codeAt(frames[i], 4), "MDSQ");
        EXPECT_EQ(queryText(frames[i]), texts[i]);
        EXPECT_EQ(frames[i].size(), std::string(texts[i]).size() + 9);
        EXPECT_EQ(frames[i].back(), 0);
    }
}

TEST_F(LumetraConnection, RefusedConnectWaitsOutTheTimeOutThenSuccessResetsLastError) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(uxOpen("127.0.1.11"), 0);
    EXPECT_GE(since(start), 450ms);
    EXPECT_EQ(uxGetLastError(), 1);
    ScriptedUnit unit("127.0.1.11", smallUnit());
    EXPECT_EQ(uxOpen("127.0.1.11"), 4);
    EXPECT_EQ(uxGetLastError(), 0);
}

TEST_F(LumetraConnection, UnresolvableNameFailsWithoutWaiting) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(uxOpen("no-such-unit.invalid"), 0);
    EXPECT_LT(since(start), 450ms);
    EXPECT_EQ(uxGetLastError(), 1);
    EXPECT_EQ(ReOpen(nullptr), 0);
    EXPECT_EQ(uxGetLastError(), 1);
}

TEST_F(LumetraConnection, EmptyDefinitionReplyGivesNoModesButNoError) {
    ScriptedUnit unit("127.0.1.12", UnitScript{});
    EXPECT_EQ(uxOpen("127.0.1.12"), 0);
    EXPECT_EQ(uxGetLastError(), 0);
    EXPECT_EQ(take(GetFirstModeName()), "");
}

TEST_F(LumetraConnection, ReOpenKeepsTheTableAndSendsOnlyTheForceLines) {
    ScriptedUnit unit("127.0.1.13", smallUnit());
    ASSERT_EQ(uxOpen("127.0.1.13"), 4);
    EXPECT_EQ(uxClose(), 1);
    EXPECT_EQ(uxClose(), 1);
    unit.clearFrames();
    EXPECT_EQ(ReOpen("127.0.1.13"), 1);
    EXPECT_EQ(uxGetLastError(), 0);
    std::vector<Bytes> frames = unit.frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(queryText(frames[2]), "ForceHelpText=TRUE");
    EXPECT_EQ(take(GetNVRamMode("UnitID")), "Till 4");
    EXPECT_EQ(take(GetFirstModeName()), "UnitID");
}

TEST_F(LumetraConnection, SecondOpenClosesTheFirstConnection) {
    ScriptedUnit unit("127.0.1.14", smallUnit());
    ASSERT_EQ(uxOpen("127.0.1.14"), 4);
    ASSERT_EQ(ReOpen("127.0.1.14"), 1);
    EXPECT_TRUE(unit.waitForClosedByClient(1));
    EXPECT_EQ(unit.connections(), 2);
}

TEST_F(LumetraConnection, SilentUnitTimesOutInsteadOfBlocking) {
    ScriptedUnit unit("127.0.1.15", smallUnit());
    unit.goSilent();
    EXPECT_EQ(uxOpen("127.0.1.15"), 0);
    EXPECT_EQ(uxGetLastError(), 1);
    EXPECT_EQ(take(GetFirstModeName()), "");
    EXPECT_EQ(ReOpen("127.0.1.15"), 0);
    EXPECT_EQ(uxGetLastError(), 1);
    // The broken connection was closed: nothing more goes out.
    EXPECT_EQ(SendDisplayText("x"), 0);
}

TEST_F(LumetraConnection, OversizedReplyIsRefusedAndBreaksTheConnection) {
    ScriptedUnit unit("127.0.1.16", smallUnit());
    ASSERT_EQ(uxOpen("127.0.1.16"), 4);
    unit.respond([](const Bytes&) { return Bytes{0x7F, 0xFF, 0xFF, 0xF0, 'M', 'O', 'D', 'R'}; });
    EXPECT_EQ(uxSetMode("UnitID", "A"), 0);
    EXPECT_EQ(take(GetMode("UnitID")), "");
    EXPECT_EQ(unit.frameCount(), 6u);
    EXPECT_TRUE(unit.waitForClosedByClient(1));
}

TEST_F(LumetraConnection, ReplyCutShortByTheUnitFailsTheCall) {
    ScriptedUnit unit("127.0.1.17", smallUnit());
    ASSERT_EQ(uxOpen("127.0.1.17"), 4);
    // Half a frame, then the unit holds the connection without a word more.
    unit.respond([](const Bytes&) {
        Bytes half = modeReply("UnitID = Till 4");
        half.resize(10);
        return half;
    });
    EXPECT_EQ(take(GetMode("UnitID")), "");
    EXPECT_EQ(GetModeSize("UnitID"), 16);  // the table is not touched
}

// Every export that needs the connection, with what it must return while
// there is none.
std::string num(long v) {
    return std::to_string(v);
}

struct NeedsConnection {
    const char* name;
    std::function<std::string()> call;
    std::string expected;
};

std::vector<NeedsConnection> connectionExports(const std::string& file) {
    return {
        {"GetMode", [] { return take(GetMode("UnitID")); }, ""},
        {"uxSetMode", [] { return num(uxSetMode("UnitID", "x")); }, "0"},
        {"SendTarnix", [] { return num(SendTarnix("UnitID", "x")); }, "0"},
        {"uxCommit", [] { return num(uxCommit()); }, "0"},
        {"uxRestart", [] { return num(uxRestart()); }, "0"},
        {"SendDisplayText", [] { return num(SendDisplayText("x")); }, "0"},
        {"SendSpecialText", [] { return num(SendSpecialText("x")); }, "0"},
        {"SendImageToDisplay", [=] { return num(SendImageToDisplay(file.c_str())); }, "0"},
        {"SendFile", [=] { return num(SendFile(file.c_str(), "name")); }, "0"},
        {"SendRegistration", [] { return num(SendRegistration()); }, "0"},
        {"SendTerminate", [] { return num(SendTerminate()); }, "0"},
        {"SendDataNOP", [] { return num(SendDataNOP()); }, "0"},
    };
}

void expectNothingSent(ScriptedUnit& unit, const std::string& file, const char* when) {
    std::this_thread::sleep_for(50ms);  // let what went before arrive
    std::size_t before = unit.frameCount();
    for (const NeedsConnection& e : connectionExports(file)) {
        EXPECT_EQ(e.call(), e.expected) << e.name << " " << when;
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(unit.frameCount(), before) << when;
}

TEST_F(LumetraConnection, WithoutAConnectionNothingIsSentAndNothingCrashes) {
    ScriptedUnit unit("127.0.1.18", smallUnit());
    std::string file = support::makeTempDir("lumetra_conn") + "/file.bin";
    support::writeFile(file, "0123456789");
    expectNothingSent(unit, file, "before uxOpen");
    ASSERT_EQ(uxOpen("127.0.1.18"), 4);
    uxClose();
    expectNothingSent(unit, file, "after uxClose");
    ASSERT_EQ(ReOpen("127.0.1.18"), 1);
    ASSERT_EQ(Push("127.0.1.18", file.c_str(), "name"), 1);
    expectNothingSent(unit, file, "after Push");
    ASSERT_EQ(ReOpen("127.0.1.18"), 1);
    ASSERT_EQ(Fennick("127.0.1.18", 9600, 8, "N", 1, "N"), 1);
    expectNothingSent(unit, file, "after Fennick");
    ASSERT_EQ(ReOpen("127.0.1.18"), 1);
    EXPECT_EQ(ReOpen("127.0.1.19"), 0);
    expectNothingSent(unit, file, "after a failed ReOpen");
}

}  // namespace
}  // namespace lumetra_test
