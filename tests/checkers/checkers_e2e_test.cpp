// SPDX-License-Identifier: Apache-2.0
// probe and Drosk as processes: their command lines, exact output and exit
// statuses, against the simulated unit and a scripted one.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "tests/support/process.h"
#include "tests/support/scripted_unit.h"
#include "unitsim/unit.h"

namespace {

using namespace std::chrono_literals;
using protocol::FrameType;
using support::Bytes;
using support::cut;
using support::frame;
using support::modeReply;
using support::ScriptedUnit;

// Every connection gets the next of `replies`, then `after`, and is closed.
ScriptedUnit::Responder eachOnce(std::vector<Bytes> replies, Bytes after = {}) {
    std::vector<support::Answer> answers(replies.begin(), replies.end());
    for (support::Answer& a : answers) a.close = true;
    return ScriptedUnit::inTurn(answers, {after, true});
}

const std::string kProbeUsage = "\nprobe IPAddress\n";
const std::string kDroskUsage = "\nDrosk [-Ds] IPAddress\n  -D delay s seconds between checks\n";
// ctime form: "Tue Dec  8 01:02:03 2026\n"
const std::string kTime = R"([A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\d \d\d:\d\d:\d\d \d{4}\n)";

support::RunResult probe(std::vector<std::string> args) {
    args.insert(args.begin(), PROBE_BIN);
    return support::run(args);
}

support::RunResult drosk(std::vector<std::string> args) {
    args.insert(args.begin(), DROSK_BIN);
    return support::run(args);
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    std::string out;  // Drosk: delay lines printed before the usage
};

class ProbeUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(ProbeUsage, GoesToStandardErrorWithStatusZero) {
    support::RunResult r = probe(GetParam().args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, kProbeUsage);
    EXPECT_EQ(r.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Probe, ProbeUsage,
    ::testing::Values(UsageCase{"noArguments", {}, ""},
                      UsageCase{"hyphen", {"-h"}, ""},
                      UsageCase{"hyphenAfterAddress", {"127.0.3.30", "-x"}, ""},
                      UsageCase{"slashBeforeAddress", {"/?", "127.0.3.30"}, ""},
                      UsageCase{"delayIsNoProbeOption", {"-D5", "127.0.3.30"}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

class DroskUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(DroskUsage, GoesToStandardErrorWithStatusZero) {
    support::RunResult r = drosk(GetParam().args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, kDroskUsage);
    EXPECT_EQ(r.out, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Drosk, DroskUsage,
    ::testing::Values(UsageCase{"noArguments", {}, ""},
                      UsageCase{"otherOption", {"-X", "127.0.3.30"}, ""},
                      UsageCase{"otherOptionAfterAddress", {"127.0.3.30", "/X"}, ""},
                      UsageCase{"delayOnly", {"-D5"}, "Delay in seconds: 5\n"},
                      UsageCase{"delayThenBadOption", {"-D5", "-X", "-D6"},
                                "Delay in seconds: 5\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Each delay spelling is announced at once; the unresolvable address then
// ends the run before any check.
struct DelayCase {
    const char* name;
    std::vector<std::string> args;
    std::string out;
};

class DroskDelay : public ::testing::TestWithParam<DelayCase> {};

TEST_P(DroskDelay, IsAnnouncedAsTaken) {
    support::RunResult r = drosk(GetParam().args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, GetParam().out);
}

const std::string kNoHost = "no-such-unit.invalid";
const std::string kNoHostLine = "DNS lookup failed for host: no-such-unit.invalid\n";

INSTANTIATE_TEST_SUITE_P(
    Drosk, DroskDelay,
    ::testing::Values(
        DelayCase{"lowerD7", {"-d7", kNoHost}, "Delay in seconds: 7\n" + kNoHostLine},
        DelayCase{"slashD7", {"/D7", kNoHost}, "Delay in seconds: 7\n" + kNoHostLine},
        DelayCase{"zero", {"-D0", kNoHost}, "Delay in seconds: 1\n" + kNoHostLine},
        DelayCase{"negative", {"-D-3", kNoHost}, "Delay in seconds: 1\n" + kNoHostLine},
        DelayCase{"bare", {"-D", kNoHost}, "Delay in seconds: 1\n" + kNoHostLine},
        DelayCase{"letters", {"-Dx", kNoHost}, "Delay in seconds: 1\n" + kNoHostLine},
        DelayCase{"separateNumber", {"-D", "5", kNoHost}, "Delay in seconds: 1\n" + kNoHostLine},
        DelayCase{"eachAnnounced", {"-D3", "-D4", kNoHost},
                  "Delay in seconds: 3\nDelay in seconds: 4\n" + kNoHostLine},
        DelayCase{"noDelayOption", {kNoHost}, kNoHostLine}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DroskDelay, SeparateArgumentIsTakenAsTheAddress) {
    ScriptedUnit unit("127.0.3.31", eachOnce({}, modeReply("UnitStatus = OK\r\n")));
    ASSERT_TRUE(unit.listening());
    support::Background d({DROSK_BIN, "-D", "127.0.3.31"});
    EXPECT_TRUE(d.waitForOutput("0: UnitStatus = OK\r\n", 5s));
    EXPECT_EQ(d.stop().out, "Delay in seconds: 1\n0: UnitStatus = OK\r\n");
}

TEST(Probe, AsksTheSimulatedUnitForItsStatus) {
    unitsim::Options options;
    options.address = "127.0.3.32";
    unitsim::Unit unit(options);
    std::string why;
    ASSERT_TRUE(unit.start(why)) << why;
    support::RunResult r = probe({"127.0.3.32"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "UnitStatus = OK\r\n");  // the unit's answer line, printed whole
    ASSERT_TRUE(unit.waitForReceived(1, 2s));
    std::string expected("\0\0\0\x13MDSQUnitStatus\0", 19);
    EXPECT_EQ(unit.received().at(0).bytes, Bytes(expected.begin(), expected.end()));
}

TEST(Probe, TheLastOfTwoAddressesIsProbed) {
    ScriptedUnit unit("127.0.3.33", eachOnce({modeReply("second")}));
    ASSERT_TRUE(unit.listening());
    support::RunResult r = probe({"127.0.3.250", "127.0.3.33"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "second");
}

TEST(Probe, PrintsAnyReplyTypeWithoutALineEnd) {
    ScriptedUnit unit("127.0.3.34",
                      eachOnce({frame(FrameType::ErrReport, std::string("Unknown mode\0tail", 17)),
                                frame(FrameType::Data, std::string("TEXT hello\0", 11))}));
    ASSERT_TRUE(unit.listening());
    EXPECT_EQ(probe({"127.0.3.34"}).out, "Unknown mode");
    EXPECT_EQ(probe({"127.0.3.34"}).out, "TEXT hello");
}

TEST(Probe, ReplyItCannotTakeGivesStatusOneAndSaysWhy) {
    ScriptedUnit unit("127.0.3.35",
                      eachOnce({cut(modeReply("UnitStatus = OK"), 11),
                                frame(FrameType::ModeResponse, std::string(2040, 'x'))}));
    ASSERT_TRUE(unit.listening());
    const char* why[] = {
        "Connection closed by 127.0.3.35 before a whole reply arrived\n",
        "Reply from 127.0.3.35 has a length of 2048 bytes; probe takes 8 to 2047\n"};
    for (const char* expected : why) {
        support::RunResult r = probe({"127.0.3.35"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, expected);
    }
}

TEST(Probe, RefusedConnectionPrintsTheTime) {
    support::RunResult r = probe({"127.0.3.36"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(std::regex_match(r.out, std::regex("Error connecting to 127\\.0\\.3\\.36 at " + kTime)))
        << r.out;
}

TEST(Probe, LongAddressIsCutTo255Characters) {
    support::RunResult r = probe({std::string(300, 'a')});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "DNS lookup failed for host: " + std::string(255, 'a') + "\n");
}

bool waitForAnswerAfterFailure(support::Background& d, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        std::string out = d.outputSoFar();
        std::size_t failure = out.rfind("Error connecting");
        if (failure != std::string::npos && out.find("\r\n", failure) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

TEST(Drosk, NumberingRestartsAfterTheUnitWasAway) {
    ScriptedUnit unit("127.0.3.37", eachOnce({}, modeReply("UnitStatus = OK\r\n")));
    ASSERT_TRUE(unit.listening());
    support::Background d({DROSK_BIN, "-D1", "127.0.3.37"});
    ASSERT_TRUE(d.waitForOutput("1: UnitStatus = OK\r\n", 8s)) << d.outputSoFar();
    unit.stop();
    ASSERT_TRUE(d.waitForOutput("Error connecting", 5s)) << d.outputSoFar();
    ASSERT_TRUE(unit.start());
    // The answer after the failed attempt is numbered 0 again.
    ASSERT_TRUE(waitForAnswerAfterFailure(d, 5s)) << d.outputSoFar();
    std::string out = d.stop().out;
    std::regex expected("Delay in seconds: 1\n0: UnitStatus = OK\r\n1: UnitStatus = OK\r\n"
                        "(2: UnitStatus = OK\r\n)?"
                        "(Error connecting to 127\\.0\\.3\\.37 at " + kTime + ")+"
                        "0: UnitStatus = OK\r\n(1: UnitStatus = OK\r\n)*");
    EXPECT_TRUE(std::regex_match(out, expected)) << out;
}

TEST(Drosk, AnswersFromTheSimulatedUnit) {
    unitsim::Options options;
    options.address = "127.0.3.38";
    unitsim::Unit unit(options);
    std::string why;
    ASSERT_TRUE(unit.start(why)) << why;
    support::Background d({DROSK_BIN, "/d1", "127.0.3.38"});
    ASSERT_TRUE(d.waitForOutput("1: UnitStatus = OK\r\n", 8s)) << d.outputSoFar();
    // One answer a line: the unit ends its answer line with CR LF.
    EXPECT_TRUE(d.stop().out.starts_with(
        "Delay in seconds: 1\n0: UnitStatus = OK\r\n1: UnitStatus = OK\r\n"));
    EXPECT_GE(unit.connections(), 2);
}

}  // namespace
