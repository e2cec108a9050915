// SPDX-License-Identifier: Apache-2.0
// Replies the simulated unit never gives, scripted byte for byte, against the
// real Tarnix binary.
#include "protocol/frame.h"
#include "tests/support/scripted_unit.h"
#include "tests/tarnix/unit_fixture.h"

namespace tarnix_test {
namespace {

using protocol::FrameType;
using support::Bytes;
using support::frame;
using support::modeReply;
using support::ScriptedUnit;

// Each frame gets the next reply; the unit closes after the last.
ScriptedUnit::Responder inTurn(const std::vector<Bytes>& replies) {
    std::vector<support::Answer> answers(replies.begin(), replies.end());
    answers.back().close = true;
    return ScriptedUnit::inTurn(std::move(answers));
}

class TarnixScripted : public UnitFixture {
  protected:
    // The replies to the three Force lines.
    static std::vector<Bytes> forced() { return {modeReply("a"), modeReply("b"), modeReply("c")}; }
};

std::vector<Bytes> plus(std::vector<Bytes> a, std::vector<Bytes> b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(TarnixScripted, OverLongModeNameInTheSecondValueListIsFatal) {
    std::string longName = std::string(50, 'D') + "evice";
    ScriptedUnit unit(
        address(60), inTurn(plus(forced(), {modeReply("UnitID = STRING,16\r\n"),
                                            modeReply("UnitID = A\r\n"), modeReply("UnitID = B"),
                                            modeReply("UnitID = B\r\n" + longName + " = 1\r\n")})));
    ASSERT_TRUE(unit.listening());
    writeIni("UnitID = B\n");
    support::RunResult r = tarnix({"-s", address(60)});
    EXPECT_EQ(r.err, "Mode name from device is over 50 characters: " + std::string(50, 'D') + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(unit.frameCount(), 7u);
}

TEST_F(TarnixScripted, ReplyFillingTheWholeBufferWithoutAZeroByteIsReadToItsEnd) {
    std::string body = "UnitID = STRING,16\r\nPad = ";
    body.append(131072 - 8 - body.size(), 'x');
    Bytes definitions = frame(FrameType::ModeResponse, body);
    ASSERT_EQ(definitions.size(), 131072u);
    ScriptedUnit unit(address(61),
                      inTurn(plus(forced(), {definitions, modeReply("UnitID = A\r\n")})));
    ASSERT_TRUE(unit.listening());
    support::RunResult r = tarnix({address(61)});
    EXPECT_EQ(r.out,
              "\n\n# ***  Current Content  ***\n\n"
              "TargetIP = 127.0.2.61\n"
              "UnitID    = A\n"
              "Pad       = (null)\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

TEST_F(TarnixScripted, LengthFieldOutsideTheBufferIsRefused) {
    struct Case {
        int host;
        std::uint32_t length;
    } cases[] = {{62, 131073}, {63, 7}, {64, 0}};
    for (const Case& c : cases) {
        Bytes reply = frame(FrameType::ModeResponse, std::string(200, 'y'));
        protocol::writeBE32(reply.data(), c.length);
        ScriptedUnit unit(address(c.host), inTurn({reply}));
        ASSERT_TRUE(unit.listening());
        support::RunResult r = tarnix({address(c.host)});
        EXPECT_EQ(r.err, "Reply from " + address(c.host) + " has a length of " +
                             std::to_string(c.length) + " bytes; Tarnix takes 8 to 131072\n");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, 1);
    }
}

}  // namespace
}  // namespace tarnix_test
