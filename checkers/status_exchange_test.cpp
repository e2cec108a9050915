// SPDX-License-Identifier: Apache-2.0
// probe's exchange against a scripted unit, in-process: the query on the
// wire, which replies are taken and what is printed of them.
#include "checkers/status_exchange.h"

#include <gtest/gtest.h>

#include "checkers/probe.h"
#include "tests/support/process.h"
#include "tests/support/scripted_unit.h"

namespace checkers {
namespace {

using protocol::FrameType;
using support::Answer;
using support::Bytes;
using support::Capture;
using support::cut;
using support::frame;
using support::modeReply;
using support::ScriptedUnit;
using support::withCode;
using support::operator+;

// A MODR frame whose body is exactly `body`.
Bytes modr(std::string_view body) {
    return frame(FrameType::ModeResponse, body);
}

Bytes withLength(Bytes bytes, std::uint32_t length) {
    protocol::writeBE32(bytes.data(), length);
    return bytes;
}

struct ReplyCase {
    const char* name;
    Answer answer;
    std::string printed;
    int status;
    std::string address = {};  // one per case: ctest may run cases side by side
};

// The unit sends `bytes` and closes.
Answer reply(Bytes bytes) { return Answer{std::move(bytes), true}; }

// "@" stands for the case's own address.
const std::string kLength = "Reply from @ has a length of ";
const std::string kTakes = " bytes; probe takes 8 to 2047\n";
const std::string kClosed = "Connection closed by @ before a whole reply arrived\n";

std::string withAddress(std::string text, const std::string& address) {
    if (std::size_t at = text.find('@'); at != std::string::npos) text.replace(at, 1, address);
    return text;
}

class ProbeReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ProbeReply, PrintsBodyTextOrWhyThereIsNone) {
    const ReplyCase& c = GetParam();
    ScriptedUnit unit(c.address, ScriptedUnit::inTurn({c.answer}));
    ASSERT_TRUE(unit.listening());
    Capture out;
    ProbeSettings settings{c.address, std::chrono::milliseconds(300)};
    EXPECT_EQ(runProbe(settings, out.file()), c.status);
    EXPECT_EQ(out.text(), withAddress(c.printed, c.address));
}

const std::string kStatus = "UnitStatus=====\t Ready\r\n";
std::vector<ReplyCase> withAddresses(std::vector<ReplyCase> cases) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
        cases[i].address = "127.0.3." + std::to_string(100 + i);
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ProbeReply,
    ::testing::ValuesIn(withAddresses({
        ReplyCase{"modeReply", reply(modeReply(kStatus)), kStatus, 0},
        ReplyCase{"errorReport",
                  reply(frame(FrameType::ErrReport, std::string("no such mode\0", 13))),
                  "no such mode", 0},
        ReplyCase{"keepAlivesAreSkipped",
                  reply(frame(FrameType::Data, "NOP_") + frame(FrameType::Data, "NOP_") +
                        modeReply(kStatus)),
                  kStatus, 0},
        ReplyCase{"unknownType", reply(withCode(modr(std::string("abc\0def", 7)), "xyzw")), "abc",
                  0},
        ReplyCase{"emptyBody", reply(modr("")), "", 0},
        ReplyCase{"noZeroRunsToFrameEnd",
                  reply([] {
                      Bytes f = modr("abcdef");
                      f.push_back('X');  // a byte past the frame: never printed
                      return f;
                  }()),
                  "abcdef", 0},
        ReplyCase{"largestFrame", reply(modr(std::string(2047 - 8, 'z'))),
                  std::string(2039, 'z'), 0},
        ReplyCase{"length2048NotRead", reply(modr(std::string(2040, 'z'))), kLength + "2048" + kTakes, 1},
        ReplyCase{"hugeLength", reply(withLength(modr("x"), 0x7FFFFFF0)), kLength + "2147483632" + kTakes, 1},
        ReplyCase{"negativeLength", reply(withLength(modr("x"), 0xFFFFFFF0)), kLength + "4294967280" + kTakes, 1},
        ReplyCase{"lengthBelowHeader", reply(withLength(modr("x"), 4)), kLength + "4" + kTakes, 1},
        ReplyCase{"closedInLengthField", reply(cut(modeReply(kStatus), 3)), kClosed, 1},
        ReplyCase{"closedMidFrame", reply(cut(modeReply(kStatus), 12)), kClosed, 1},
        ReplyCase{"closedWithoutReply", reply({}), kClosed, 1},
        ReplyCase{"silentUnitTimesOut", Answer{}, "No reply from @ within 0.3 seconds\n", 1}})),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProbeQuery, SendsExactlyNineteenBytes) {
    ScriptedUnit unit("127.0.3.11", ScriptedUnit::inTurn({reply(modeReply("x"))}));
    ASSERT_TRUE(unit.listening());
    Capture out;
    ASSERT_EQ(runProbe({"127.0.3.11", std::chrono::milliseconds(500)}, out.file()), 0);
    ASSERT_EQ(unit.frameCount(), 1u);
    std::string expected("\0\0\0\x13MDSQUnitStatus\0", 19);
    EXPECT_EQ(unit.frames()[0], Bytes(expected.begin(), expected.end()));
}

TEST(ProbeQuery, ReplyTimeOutBoundsATricklingUnit) {
    // The whole reply must arrive within the time-out, not each piece of it.
    // Only the length field, then nothing more.
    ScriptedUnit unit("127.0.3.12", ScriptedUnit::inTurn({Answer{withLength(Bytes(4), 100)}}));
    ASSERT_TRUE(unit.listening());
    Capture out;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runProbe({"127.0.3.12", std::chrono::milliseconds(300)}, out.file()), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(out.text(), "No reply from 127.0.3.12 within 0.3 seconds\n");
}

}  // namespace
}  // namespace checkers
