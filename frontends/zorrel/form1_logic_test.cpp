// SPDX-License-Identifier: Apache-2.0
// The Zorrel window's logic with a recording view and a recording control:
// no toolkit and no real time; the test plays the timers.
#include "frontends/zorrel/form1_logic.h"

#include <gtest/gtest.h>

#include <map>

#include "frontends/control/recording_control.h"
#include "frontends/zorrel/dispatch_ids.h"

namespace zorrel {
namespace {

using frontends::Arguments;
using frontends::Value;

class RecordingView : public Form1View {
  public:
    void setStartServerEnabled(bool enabled) override { startEnabled = enabled; }
    void setExitServerEnabled(bool enabled) override { exitEnabled = enabled; }
    void showInfo(std::string_view text) override { info = text; }
    void startPollTimer(std::chrono::milliseconds interval) override { poll = interval; }
    void stopPollTimer() override { poll = {}; }
    void startPause(std::chrono::milliseconds duration) override { pause = duration; }
    void stopPause() override { pause = {}; }

    bool startEnabled = true;
    bool exitEnabled = false;
    std::string info = "not set";
    std::chrono::milliseconds poll{};  // zero: not running
    std::chrono::milliseconds pause{};
};

class HostLogic : public ::testing::Test {
  protected:
    HostLogic() {
        fake.log().answer = [this](int id, const Arguments&) {
            infoAtCall.push_back(view.info);
            auto found = results.find(id);
            return found != results.end() ? found->second : Value();
        };
        logic = std::make_unique<Form1Logic>(view);
    }
    std::vector<int> idsSince(std::size_t from) const {
        auto all = fake.log().ids();
        return {all.begin() + static_cast<std::ptrdiff_t>(from), all.end()};
    }
    void startServing() {
        results[kStart] = std::int16_t(1);
        logic->startServerPressed();
    }
    // One tick of the poll timer; the calls it made.
    std::vector<int> tick() {
        const std::size_t before = fake.log().calls.size();
        logic->pollTick();
        return idsSince(before);
    }

    frontends::RecordingRegistration fake{frontends::kZorrelControlName};
    std::map<int, Value> results;
    std::vector<std::string> infoAtCall;
    RecordingView view;
    std::unique_ptr<Form1Logic> logic;
};

TEST_F(HostLogic, LoadingStoresTheMessageAndEmptiesTheStatusLine) {
    ASSERT_EQ(fake.log().ids(), std::vector<int>{5});
    EXPECT_EQ(fake.log().calls[0].args, (Arguments{std::string("send message"), std::int32_t(12)}));
    EXPECT_EQ(view.info, "");
}

TEST_F(HostLogic, AFailedStartLeavesOnlyExitServerAndNoPolls) {
    for (const Value& result :
         {Value(std::int16_t(0)), Value(std::int16_t(-4)), Value(), Value(std::string("x"))}) {
        SCOPED_TRACE(frontends::describe(result));
        results[kStart] = result;
        const std::size_t before = fake.log().calls.size();
        logic->startServerPressed();
        EXPECT_EQ(idsSince(before), std::vector<int>{kStart});
        EXPECT_EQ(fake.log().calls.back().args, Arguments{std::int32_t(1283)});
        EXPECT_EQ(infoAtCall.back(), "Connecting..., Please wait.");
        EXPECT_EQ(view.info, "Connection failed.");
        EXPECT_FALSE(view.startEnabled);
        EXPECT_TRUE(view.exitEnabled);
        EXPECT_EQ(view.poll.count(), 0);
        EXPECT_TRUE(tick().empty());

        logic->exitServerPressed();
        EXPECT_EQ(fake.log().ids().back(), kStop);
        EXPECT_TRUE(view.startEnabled);
        EXPECT_FALSE(view.exitEnabled);
        EXPECT_EQ(view.info, "");
    }
}

TEST_F(HostLogic, EachPollIsAnsweredByItsStatusAndKind) {
    struct Case {
        Value status;
        Value kind;
        std::vector<int> calls;
        const char* info;
    };
    const Case cases[] = {
        {std::int16_t(0), {}, {2, 6}, "Waiting for data."},
        {std::int16_t(5), {}, {2, 6}, "Waiting for data."},
        {std::int16_t(-1), {}, {2}, "Connection failed."},
        {Value(), {}, {2}, "Connection failed."},
        {std::int32_t(70000), {}, {2}, "Connection failed."},
        {std::int16_t(2),
         std::int16_t(7),
         {2, 15, 9, 8, 7, 4, 6},
         "Responding to Nominal mode packet"},
        {std::int16_t(2), std::int16_t(10), {2, 15, 16, 17, 18, 19, 6}, "Waiting for data."},
        {std::int16_t(2), std::int16_t(3), {2, 15, 6}, "Waiting for data."},
        {std::int16_t(2), Value(), {2, 15, 6}, "Waiting for data."},
    };
    startServing();
    EXPECT_EQ(view.poll, std::chrono::milliseconds(100));
    for (const auto& c : cases) {
        SCOPED_TRACE(frontends::describe(c.status) + " " + frontends::describe(c.kind));
        results[kPoll] = c.status;
        results[kPacketKind] = c.kind;
        infoAtCall.clear();
        EXPECT_EQ(tick(), c.calls);
        EXPECT_EQ(infoAtCall.front(), "Waiting for data.") << "set before the poll";
        EXPECT_EQ(view.info, c.info);
        for (const auto& call : fake.log().calls) {
            if (call.dispatchId == kSendFile) {
                EXPECT_EQ(call.args, Arguments{std::string("header.gif")});
            }
        }
    }
}

TEST_F(HostLogic, TrivialTextGetsTwoMessagesAroundAPauseWithoutPollsInBetween) {
    startServing();
    results[kPoll] = std::int16_t(1);
    EXPECT_EQ(tick(), (std::vector<int>{2, 3, 11}));
    EXPECT_EQ(fake.log().calls.back().args, Arguments{std::string("First Message")});
    EXPECT_EQ(view.pause, std::chrono::milliseconds(2000));
    EXPECT_EQ(view.info, "Responding to Trivial mode packet");
    for (int i = 0; i < 25; ++i) EXPECT_TRUE(tick().empty()) << "ticks in the pause are let pass";

    const std::size_t before = fake.log().calls.size();
    logic->pauseEnded();
    EXPECT_EQ(idsSince(before), (std::vector<int>{11, 6}));
    EXPECT_EQ(fake.log().calls[before].args, Arguments{std::string("Second Message")});
    EXPECT_EQ(view.info, "Responding to Trivial mode packet");
    EXPECT_EQ(infoAtCall.back(), "Responding to Trivial mode packet");

    results[kPoll] = std::int16_t(0);
    EXPECT_EQ(tick(), (std::vector<int>{2, 6})) << "polling goes on after the answer";
}

TEST_F(HostLogic, ExitServerInThePauseStopsCleanlyAndCanStartAgain) {
    startServing();
    results[kPoll] = std::int16_t(1);
    tick();
    const std::size_t before = fake.log().calls.size();
    logic->exitServerPressed();
    EXPECT_EQ(idsSince(before), std::vector<int>{kStop});
    EXPECT_EQ(view.pause.count(), 0);
    EXPECT_EQ(view.poll.count(), 0);
    EXPECT_EQ(view.info, "");
    logic->pauseEnded();  // a tick already on its way
    EXPECT_TRUE(tick().empty());
    EXPECT_EQ(fake.log().calls.size(), before + 1) << "nothing after the stop";

    logic->startServerPressed();
    EXPECT_EQ(fake.log().ids().back(), kStart);
    EXPECT_EQ(view.poll, std::chrono::milliseconds(100));
}

TEST_F(HostLogic, ClosingInThePauseCallsNothingMore) {
    startServing();
    results[kPoll] = std::int16_t(1);
    tick();
    const std::size_t before = fake.log().calls.size();
    logic->closing();
    logic->pauseEnded();
    logic->pollTick();
    logic->exitServerPressed();
    EXPECT_EQ(fake.log().calls.size(), before);
    EXPECT_EQ(view.pause.count(), 0);
    EXPECT_EQ(view.poll.count(), 0);
}

TEST(HostLogicControl, WithoutAControlTheStartFails) {
    RecordingView view;
    Form1Logic logic(view);
    logic.startServerPressed();
    EXPECT_EQ(view.info, "Connection failed.");
    EXPECT_EQ(view.poll.count(), 0);
}

}  // namespace
}  // namespace zorrel
