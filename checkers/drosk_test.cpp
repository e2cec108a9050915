// SPDX-License-Identifier: Apache-2.0
// Drosk's loop in-process, with its waits replaced so no real delay passes.
#include "checkers/drosk.h"

#include <gtest/gtest.h>

#include "tests/support/process.h"
#include "tests/support/scripted_unit.h"

namespace checkers {
namespace {

using support::Answer;
using support::Capture;
using support::cut;
using support::modeReply;
using support::ScriptedUnit;

TEST(DroskLoop, NumbersAnswersAndRestartsAfterAFailedConnection) {
    ScriptedUnit unit("127.0.3.20", ScriptedUnit::inTurn({}, {modeReply("S=1\r\n"), true}));
    ASSERT_TRUE(unit.listening());
    std::vector<std::chrono::seconds> waits;
    DroskSettings settings;
    settings.address = "127.0.3.20";
    settings.delaySeconds = 3;
    settings.replyTimeout = std::chrono::milliseconds(500);
    settings.maxAttempts = 6;
    int attempts = 0;
    settings.wait = [&](std::chrono::seconds s) {
        waits.push_back(s);
        ++attempts;
        if (attempts == 2) unit.stop();        // attempt 3 is refused
        if (attempts == 3) {
            ASSERT_TRUE(unit.start());
        }
    };
    Capture out;
    EXPECT_EQ(runDrosk(settings, out.file()), 0);
    std::string text = out.text();
    std::string head = "0: S=1\r\n1: S=1\r\nError connecting to 127.0.3.20 at ";
    ASSERT_TRUE(text.starts_with(head)) << text;
    EXPECT_EQ(text.substr(head.size() + 25), "0: S=1\r\n1: S=1\r\n2: S=1\r\n");
    EXPECT_EQ(waits, std::vector<std::chrono::seconds>(5, std::chrono::seconds(3)));
    EXPECT_EQ(unit.frameCount(), 5u);
}

TEST(DroskLoop, CarriesOnAfterAReplyItCannotTake) {
    // Half a reply, then silence, then whole replies.
    ScriptedUnit unit("127.0.3.21", ScriptedUnit::inTurn({{cut(modeReply("S=1"), 10), true}, {}},
                                                         {modeReply("S=2"), true}));
    ASSERT_TRUE(unit.listening());
    DroskSettings settings;
    settings.address = "127.0.3.21";
    settings.replyTimeout = std::chrono::milliseconds(300);
    settings.maxAttempts = 3;
    settings.wait = [](std::chrono::seconds) {};
    Capture out;
    EXPECT_EQ(runDrosk(settings, out.file()), 0);
    EXPECT_EQ(out.text(),
              "0: Connection closed by 127.0.3.21 before a whole reply arrived\n"
              "1: No reply from 127.0.3.21 within 0.3 seconds\n2: S=2");
}

}  // namespace
}  // namespace checkers
