// SPDX-License-Identifier: Apache-2.0
// The touch demo run by the real Hobsel with -z: touches from the simulated
// unit, and the mode sets and images Hobsel pushes to its port 1283.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "tests/hobsel/pushing_unit.h"

namespace hobsel_test {
namespace {

using namespace std::chrono_literals;

const std::string kScript =
    "; an entry line before any header would open a state of its own\n"
    "[INIT]   # the start state\n"
    "ROOT_DIR = pics\n"
    "TOUCH, TRUE\n"
    "IMAGE \"start.gif\"\n"
    "A0-B1 = S\n"
    "[S]\n"
    "IMAGE s.gif\n"
    "C0 NOWHERE\n";

class HobselTouchDemo : public PushingUnit {
  protected:
    void startDemo(std::uint16_t port, int last, const std::string& script,
                   std::vector<std::string> args = {"-z", "-v", "-v"}) {
        start(port, last, args, "12345\tfrom the data file\n");
        support::writeFile(dir() + "/touch.dat", script);
        std::filesystem::create_directory(dir() + "/pics");
        support::writeFile(dir() + "/pics/start.gif", "START");
        support::writeFile(dir() + "/pics/s.gif", "S!");
    }
    Bytes init() const { return query("POSTimeout=999999"); }
    Bytes start_ = fileSent("<pics/start.gif", "START");
    Bytes s_ = fileSent("<pics/s.gif", "S!");
};

TEST_F(HobselTouchDemo, FirstTouchInsideTheRectangleEntersItsStateAtOnce) {
    startDemo(22101, 101, kScript.substr(kScript.find('\n') + 1));
    EXPECT_TRUE(event(0x10, 0, 1, 1).bytes.empty());
    EXPECT_EQ(streams(3), (std::vector<Bytes>{init(), start_, s_}));
}

TEST_F(HobselTouchDemo, OutsideStaysInInitAndQuickTouchesAreDiscarded) {
    startDemo(22102, 102, kScript.substr(kScript.find('\n') + 1));
    event(0x10, 0, 5, 5);
    event(0x10, 0, 1, 1);  // the same or the next second: discarded
    EXPECT_TRUE(server_->waitForOutput("Touch discarded\n"));
    EXPECT_EQ(streams(2), (std::vector<Bytes>{init(), start_}));
    std::this_thread::sleep_for(2100ms);
    event(0x10, 0, 1, 1);
    EXPECT_EQ(streams(3), (std::vector<Bytes>{init(), start_, s_}));
}

TEST_F(HobselTouchDemo, MissingStateEndsTheDemoWithTheExitSequence) {
    startDemo(22103, 103, kScript.substr(kScript.find('\n') + 1));
    event(0x10, 0, 0, 0);
    std::this_thread::sleep_for(2100ms);
    event(0x10, 0, 2, 0);  // C0 names a state the script lacks
    EXPECT_EQ(streams(4),
              (std::vector<Bytes>{init(), start_, s_,
                                  query("POSTimeout=0") + s_ + query("POSTimeout=10")}));
    EXPECT_TRUE(server_->waitForOutput("touchEnterState exit\nexitDemoProcessing\n"));
    // Idle again: a scan goes to the demo and gets no answer.
    EXPECT_TRUE(server_->barcode("12345", 103).empty());
}

TEST_F(HobselTouchDemo, ScriptWithoutInitNeverStarts) {
    startDemo(22104, 104, "[START]\nTOUCH\nA0-F7 START\n");
    event(0x10, 0, 0, 0);
    EXPECT_TRUE(server_->barcode("12345", 104).empty());
    EXPECT_TRUE(streams(0).empty());
}

TEST_F(HobselTouchDemo, ScanStartsTheDemoAndNextIsNoTransition) {
    startDemo(22105, 105, "[INIT]\nSCAN NEXT\nMSR S\n[S]\nIMAGE s.gif\n");
    EXPECT_TRUE(server_->barcode("12345", 105).empty());
    EXPECT_TRUE(server_->waitForOutput("Setting touchProcessScan to FALSE\n"));
    // INIT is now current, so scans are answered from the data file again.
    EXPECT_EQ(server_->barcode("12345", 105), z("from the data file"));
    // No touch yet: the demo had no unit to reach.
    EXPECT_TRUE(streams(0).empty());
}

TEST_F(HobselTouchDemo, ImageWithoutValueKeepsInitButEndsAnyOtherState) {
    startDemo(22106, 106, "[INIT]\nROOT_DIR pics\nTOUCH\nIMAGE\nA0 S\n[S]\nIMAGE s.gif\n");
    event(0x10, 0, 0, 0);  // INIT fails to initialise: it stays, and no move is made
    EXPECT_EQ(server_->barcode("12345", 106), z("from the data file"));  // a state is current
    std::this_thread::sleep_for(2100ms);
    event(0x10, 0, 0, 0);  // goes on from INIT
    EXPECT_EQ(streams(2), (std::vector<Bytes>{init(), s_}));
}

TEST_F(HobselTouchDemo, ImageWithoutValueInALaterStateExits) {
    startDemo(22107, 107, "[INIT]\nTOUCH\nA0 S\n[S]\nIMAGE\n");
    event(0x10, 0, 0, 0);
    // No image was shown, so the exit sequence has none to show again.
    EXPECT_EQ(streams(2),
              (std::vector<Bytes>{init(), query("POSTimeout=0") + query("POSTimeout=10")}));
    EXPECT_TRUE(server_->barcode("12345", 107).empty());  // idle again
}

TEST_F(HobselTouchDemo, ScriptWithAHundredStatesDoesNotLoad) {
    std::string script = "[INIT]\nTOUCH\nIMAGE start.gif\n";
    for (int i = 1; i < 100; ++i) script += "[S" + std::to_string(i) + "]\n";
    startDemo(22108, 108, script);
    event(0x10, 0, 0, 0);
    EXPECT_TRUE(server_->barcode("12345", 108).empty());
    EXPECT_TRUE(streams(0).empty());
}

}  // namespace
}  // namespace hobsel_test
