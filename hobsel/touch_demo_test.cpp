// SPDX-License-Identifier: Apache-2.0
#include "hobsel/touch_demo.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstdio>
#include <thread>
#include <vector>

#include "hobsel/seams.h"
#include "protocol/frame.h"
#include "tests/support/process.h"
#include "unitsim/unit.h"

namespace hobsel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

Bytes mdsq(const std::string& text) {
    Bytes frame(8, 0);
    protocol::writeBE32(frame.data(), static_cast<std::uint32_t>(8 + text.size() + 1));
    std::copy_n("MDSQ", 4, frame.begin() + 4);
    frame.insert(frame.end(), text.begin(), text.end());
    frame.push_back(0);
    return frame;
}

Bytes fileSent(const std::string& reference, const std::string& content) {
    Bytes bytes(reference.begin(), reference.end());
    bytes.push_back(0);
    std::uint8_t size[4];
    protocol::writeBE32(size, static_cast<std::uint32_t>(content.size()));
    bytes.insert(bytes.end(), size, size + 4);
    bytes.insert(bytes.end(), content.begin(), content.end());
    return bytes;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The demo in-process against a simulated unit, with the clock and the
// one-second pause replaced.
class TouchDemoStates : public ::testing::Test {
  protected:
    void SetUp() override {
        // Tests may run in parallel processes: each has an address of its own.
        static const std::vector<std::string> kTests{
            "MissingStateRunsTheExitSequence", "ScriptsThatDoNotStartOrStop",
            "SwipesAndScansFollowTheirTransitions", "LongRootAndImageAreCutToFit"};
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        auto at = std::find(kTests.begin(), kTests.end(), test);
        ASSERT_NE(at, kTests.end()) << "give " << test << " an address";
        int next = 10 + static_cast<int>(at - kTests.begin());
        address_ = "127.0.5." + std::to_string(next);
        peer_ = 0x7F000500u + static_cast<platform::Ipv4>(next);
        dir_ = support::makeTempDir("hobsel-demo");
        context_.out = capture_.file();
        context_.settings.touchDemo = true;
        context_.settings.verbosity = 2;
        context_.demo->scriptPath = dir_ + "/touch.dat";
        context_.clock = [this] { return now_; };
        context_.sleep = [this](milliseconds wait) { waits_.push_back(wait); };
        unitsim::Options options;
        options.address = address_;
        unit_ = std::make_unique<unitsim::Unit>(options);
        std::string why;
        ASSERT_TRUE(unit_->start(why)) << why;
    }
    void script(const std::string& text) { support::writeFile(dir_ + "/touch.dat", text); }
    void touch(int column, int row) {
        now_ += 2;
        touchDemoTouch(context_, peer_, column, row);
        context_.unitConnection.close();  // as after every served connection
    }
    // What each connection to the unit carried, once `count` were made.
    std::vector<Bytes> streams(std::size_t count) {
        for (int i = 0; i < 100 && unit_->streams().size() < count; ++i)
            std::this_thread::sleep_for(milliseconds(20));
        std::this_thread::sleep_for(milliseconds(150));  // the last bytes of a closed stream
        return unit_->streams();
    }
    std::string output() const { return capture_.text(); }
    support::Capture capture_;
    std::string current() const {
        return context_.demo->current ? context_.demo->current->name : "(none)";
    }
    std::string address_;
    platform::Ipv4 peer_ = 0;
    std::string dir_;
    std::time_t now_ = 100;
    std::vector<milliseconds> waits_;
    std::unique_ptr<unitsim::Unit> unit_;
    Context context_;
};

constexpr const char* kInitTable =
    "[INIT]\nROOT_DIR %s\nTOUCH TRUE\nIMAGE start.gif\nA0-B1 = S\n"
    "[S]\nIMAGE s.gif\nC0 NOWHERE\n";

std::string withDir(const char* pattern, const std::string& dir) {
    char text[1024];
    std::snprintf(text, sizeof text, pattern, dir.c_str());
    return text;
}

TEST_F(TouchDemoStates, MissingStateRunsTheExitSequence) {
    script(withDir(kInitTable, dir_));
    support::writeFile(dir_ + "/start.gif", "START");
    support::writeFile(dir_ + "/s.gif", "S!");
    touch(0, 0);  // INIT, then S at once
    EXPECT_EQ(current(), "S");
    touch(2, 0);  // C0 leads to a state the table lacks
    EXPECT_EQ(current(), "(none)");
    EXPECT_TRUE(touchDemoIdle(context_));
    ASSERT_EQ(waits_, std::vector<milliseconds>{milliseconds(1000)});
    std::vector<Bytes> sent = streams(4);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[3],
              mdsq("POSTimeout=0") + fileSent("<" + dir_ + "/s.gif", "S!") + mdsq("POSTimeout=10"));
    EXPECT_NE(output().find("touchEnterState try to enter NOWHERE failed\n"
                            "touchEnterState exit\nexitDemoProcessing\n"),
              std::string::npos);
}

TEST_F(TouchDemoStates, ScriptsThatDoNotStartOrStop) {
    std::string hundred = "[INIT]\nTOUCH\n";
    for (int i = 1; i < 100; ++i) hundred += "[S" + std::to_string(i) + "]\n";
    const struct {
        std::string script;
        std::string state;  // after one touch
        std::string trace;  // part of the output
    } cases[] = {
        {"[START]\nTOUCH\n", "(none)", "initTouchDemo\n"},
        {hundred, "(none)", "initTouchDemo\n"},
        {"[INIT]\nIMAGE\nTOUCH\nA0 S\n", "INIT", "processOp IMAGE\n"},
        {"[INIT]\nTOUCH\nA0 S\n[S]\nIMAGE\n", "(none)", "processOp IMAGE\ntouchEnterState exit\n"},
        {"[INIT]\nTOUCH # on\nA0 S # to S\n[S]\nTOUCH\n", "S",
         "Setting touchProcessTouch to TRUE\n"},
        {"[INIT]\nTOUCH off\nA0 S\n[S]\n", "INIT", "Setting touchProcessTouch to FALSE\n"},
    };
    for (const auto& c : cases) {
        script(c.script);
        initTouchDemo(context_);
        touch(0, 0);
        EXPECT_EQ(current(), c.state) << c.script;
        EXPECT_NE(output().find(c.trace), std::string::npos) << c.script;
    }
    // A second touch on "INIT" after a failed IMAGE goes on from "INIT".
    script("[INIT]\nTOUCH\nIMAGE\nA0 S\n[S]\n");
    initTouchDemo(context_);
    touch(0, 0);
    EXPECT_EQ(current(), "INIT");
    touch(0, 0);
    EXPECT_EQ(current(), "S");
}

TEST_F(TouchDemoStates, SwipesAndScansFollowTheirTransitions) {
    const struct {
        const char* input;
        const char* state;
    } cases[] = {{"%B123", "CARD"}, {"12345", "INIT"}};
    for (const auto& c : cases) {
        script("[INIT]\nMSR CARD\nSCAN NEXT\n[CARD]\n");
        initTouchDemo(context_);
        touchDemoSwipeOrScan(context_, c.input);
        EXPECT_EQ(current(), c.state) << c.input;
    }
    EXPECT_NE(output().find("Setting touchProcessScan to FALSE\n"), std::string::npos);
    EXPECT_TRUE(streams(0).empty());  // no touch yet, so no unit to reach
}

TEST_F(TouchDemoStates, LongRootAndImageAreCutToFit) {
    script("[INIT]\nROOT_DIR " + std::string(400, 'd') + "\nIMAGE " + std::string(400, 'i') + "\n");
    touch(0, 0);
    EXPECT_EQ(context_.demo->imageRoot.size(), kMostImageRoot);
    EXPECT_EQ(context_.demo->imageRoot.back(), '/');
    EXPECT_NE(output().find("tdSendFile\n"), std::string::npos);
}

// A FIFO or a folder in the script's place is no script, and loading it
// returns at once instead of waiting for a writer that never comes.
TEST(TouchDemoScript, SomethingOtherThanAFileIsRefusedAtOnce) {
    std::string dir = support::makeTempDir("hobsel-demo-fifo");
    ASSERT_EQ(::mkfifo((dir + "/touch.dat").c_str(), 0600), 0);
    ::mkdir((dir + "/adir").c_str(), 0700);
    for (const char* name : {"/touch.dat", "/adir", "/missing"}) {
        Context context;
        support::Capture capture;
        context.out = capture.file();
        context.demo->scriptPath = dir + name;
        EXPECT_FALSE(loadTouchDemo(context)) << name;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace hobsel
