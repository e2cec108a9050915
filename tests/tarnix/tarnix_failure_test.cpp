// SPDX-License-Identifier: Apache-2.0
// A unit that misbehaves: Tarnix reports the failure on standard error and
// ends with status 1, never hanging and never reading past its buffer.
#include <cstdio>

#include "tarnix/options.h"
#include "tarnix/run.h"
#include "tests/tarnix/unit_fixture.h"

namespace tarnix_test {
namespace {

class TarnixFailure : public UnitFixture {};

unitsim::Faults only(bool unitsim::Faults::*flag) {
    unitsim::Faults faults;
    faults.*flag = true;
    return faults;
}

TEST_F(TarnixFailure, BrokenRepliesEndTheRunWithAMessage) {
    struct Case {
        int host;
        unitsim::Faults faults;
        std::string err;
    } cases[] = {
        {40, only(&unitsim::Faults::oversizedLength),
         "Reply from 127.0.2.40 has a length of 2147483632 bytes; Tarnix takes 8 to 131072\n"},
        {41, only(&unitsim::Faults::dropMidFrame),
         "Connection closed by 127.0.2.41 before a whole reply arrived\n"},
    };
    for (const Case& c : cases) {
        startUnit(c.host, testModes(), c.faults);
        support::RunResult r = tarnix({address(c.host)});
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, 1);
        EXPECT_FALSE(r.timedOut);
    }
}

TEST_F(TarnixFailure, SilentUnitTimesOutAfterTenSeconds) {
    startUnit(42, testModes(), only(&unitsim::Faults::silent));
    support::RunResult r = tarnix({address(42)});
    EXPECT_EQ(r.err, "No reply from 127.0.2.42 within 10 seconds\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
}

TEST_F(TarnixFailure, ReplyTimeOutCoversEveryStepOfTheRun) {
    // The listing and the single get read their replies on separate paths.
    struct Case {
        int host;
        unitsim::Faults faults;
        std::vector<std::string_view> args;
    } cases[] = {
        {43, only(&unitsim::Faults::silent), {"127.0.2.43"}},
        {44, only(&unitsim::Faults::silent), {"-gUnitID", "127.0.2.44"}},
    };
    for (const Case& c : cases) {
        startUnit(c.host, testModes(), c.faults);
        tarnix::Settings settings = tarnix::parseArguments(c.args);
        settings.replyTimeout = std::chrono::milliseconds(300);
        support::Capture out, err;
        EXPECT_EQ(tarnix::run(settings, {out.file(), err.file()}), 1);
        EXPECT_EQ(err.text(), "No reply from " + address(c.host) + " within 0.3 seconds\n");
        EXPECT_EQ(out.text(), "");
    }
}

}  // namespace
}  // namespace tarnix_test
