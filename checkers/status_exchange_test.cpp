// probe's exchange against a scripted unit, in-process: the query on the
// wire, which replies are taken and what is printed of them.
#include "checkers/status_exchange.h"

#include <gtest/gtest.h>

#include "checkers/probe.h"
#include "tests/checkers/fake_unit.h"

namespace checkers {
namespace {

using checkers_test::Answer;
using checkers_test::Bytes;
using checkers_test::Capture;
using checkers_test::cut;
using checkers_test::frame;
using checkers_test::modeReply;
using checkers_test::ScriptedUnit;

Bytes lengthOnly(std::uint32_t length) {
    return {static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
            static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
}

Bytes withLength(Bytes bytes, std::uint32_t length) {
    Bytes head = lengthOnly(length);
    std::copy(head.begin(), head.end(), bytes.begin());
    return bytes;
}

struct ReplyCase {
    const char* name;
    Answer answer;
    std::string printed;
    int status;
    std::string address = {};  // one per case: ctest may run cases side by side
};

Answer reply(Bytes bytes) { return Answer{std::move(bytes), false}; }

class ProbeReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ProbeReply, PrintsBodyTextOrNothing) {
    const ReplyCase& c = GetParam();
    ScriptedUnit unit(c.address);
    ASSERT_TRUE(unit.start());
    unit.script({c.answer});
    Capture out;
    ProbeSettings settings{c.address, std::chrono::milliseconds(300)};
    EXPECT_EQ(runProbe(settings, out.file()), c.status);
    EXPECT_EQ(out.text(), c.printed);
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
        ReplyCase{"errorReport", reply(frame("ERR_", std::string("no such mode\0", 13))),
                  "no such mode", 0},
        ReplyCase{"keepAliveIsPrintedToo", reply(frame("DATA", "NOP_")), "NOP_", 0},
        ReplyCase{"unknownType", reply(frame("xyzw", std::string("abc\0def", 7))), "abc", 0},
        ReplyCase{"emptyBody", reply(frame("MODR", "")), "", 0},
        ReplyCase{"noZeroRunsToFrameEnd",
                  reply([] {
                      Bytes f = frame("MODR", "abcdef");
                      f.push_back('X');  // a byte past the frame: never printed
                      return f;
                  }()),
                  "abcdef", 0},
        ReplyCase{"largestFrame", reply(frame("MODR", std::string(2047 - 8, 'z'))),
                  std::string(2039, 'z'), 0},
        ReplyCase{"length2048NotRead", reply(frame("MODR", std::string(2040, 'z'))), "", 1},
        ReplyCase{"hugeLength", reply(withLength(frame("MODR", "x"), 0x7FFFFFF0)), "", 1},
        ReplyCase{"negativeLength", reply(withLength(frame("MODR", "x"), 0xFFFFFFF0)), "", 1},
        ReplyCase{"lengthBelowHeader", reply(withLength(frame("MODR", "x"), 4)), "", 1},
        ReplyCase{"closedInLengthField", reply(cut(modeReply(kStatus), 3)), "", 1},
        ReplyCase{"closedMidFrame", reply(cut(modeReply(kStatus), 12)), "", 1},
        ReplyCase{"closedWithoutReply", reply({}), "", 1},
        ReplyCase{"silentUnitTimesOut", Answer{{}, true}, "", 1}})),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProbeQuery, SendsExactlyNineteenBytes) {
    ScriptedUnit unit("127.0.3.11");
    ASSERT_TRUE(unit.start());
    unit.script({reply(modeReply("x"))});
    Capture out;
    ASSERT_EQ(runProbe({"127.0.3.11", std::chrono::milliseconds(500)}, out.file()), 0);
    ASSERT_EQ(unit.queries().size(), 1u);
    std::string expected("\0\0\0\x13MDSQUnitStatus\0", 19);
    EXPECT_EQ(unit.queries()[0], Bytes(expected.begin(), expected.end()));
}

TEST(ProbeQuery, ReplyTimeOutBoundsATricklingUnit) {
    // The whole reply must arrive within the time-out, not each piece of it.
    ScriptedUnit unit("127.0.3.12");
    ASSERT_TRUE(unit.start());
    unit.script({Answer{lengthOnly(100), true}});
    Capture out;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runProbe({"127.0.3.12", std::chrono::milliseconds(300)}, out.file()), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(out.text(), "");
}

}  // namespace
}  // namespace checkers
