// SPDX-License-Identifier: Apache-2.0
#include "protocol/transport.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <string>
#include <vector>

#include "protocol/payload.h"

namespace protocol {
namespace {

using Buffer = std::vector<std::uint8_t>;

// Two connected sockets: the test writes the unit's side, the code under
// test reads the client's.
struct Pair {
    platform::Socket client;
    platform::Socket unit;
    Pair() {
        int fds[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        client = platform::Socket(fds[0]);
        unit = platform::Socket(fds[1]);
        platform::setReceiveTimeout(client, std::chrono::milliseconds(300));
    }
    void send(const Buffer& bytes) { ASSERT_TRUE(platform::sendAll(unit, bytes.data(), bytes.size())); }
    void sendFrame(FrameType type, std::string_view text) {
        Buffer b(256);
        send(Buffer(b.begin(), b.begin() + buildFrame(b, type, asBody(text))));
    }
    void sendKeepAlive() {
        Buffer b(16);
        send(Buffer(b.begin(), b.begin() + buildKeepAlive(b)));
    }
    static ConstBytes asBody(std::string_view text) {
        return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size() + 1};
    }
};

std::string bodyOf(const Buffer& b) { return reinterpret_cast<const char*>(b.data() + 8); }

TEST(ReceiveReply, SkipsEveryKeepAliveAhead) {
    Pair p;
    p.sendKeepAlive();
    p.sendKeepAlive();
    p.sendFrame(FrameType::ModeResponse, "UnitID = X");
    Buffer b(128);
    EXPECT_EQ(receiveReply(p.client, b), ReplyStatus::Reply);
    EXPECT_EQ(bodyOf(b), "UnitID = X");
}

TEST(ReceiveReply, ErrorReportKeepsItsText) {
    Pair p;
    p.sendKeepAlive();
    p.sendFrame(FrameType::ErrReport, "refused");
    Buffer b(128);
    EXPECT_EQ(receiveReply(p.client, b), ReplyStatus::ErrorReport);
    EXPECT_EQ(bodyOf(b), "refused");
}

TEST(ReceiveReply, AnyFrameModeTakesKeepAlivesAndErrorsAsReplies) {
    Pair p;
    p.sendKeepAlive();
    p.sendFrame(FrameType::ErrReport, "refused");
    Buffer b(128);
    EXPECT_EQ(receiveReply(p.client, b, ReplyMode::AnyFrame), ReplyStatus::Reply);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.data() + 8), 4), "NOP_");
    EXPECT_EQ(receiveReply(p.client, b, ReplyMode::AnyFrame), ReplyStatus::Reply);
    EXPECT_EQ(bodyOf(b), "refused");
}

TEST(ReceiveReply, LowerCaseKeepAliveIsAReply) {
    Pair p;
    p.send({0, 0, 0, 12, 'd', 'a', 't', 'a', 'n', 'o', 'p', '_'});
    Buffer b(64);
    EXPECT_EQ(receiveReply(p.client, b), ReplyStatus::Reply);
}

TEST(ReceiveReply, FailsWhenThePeerClosesMidFrame) {
    Pair p;
    p.send({0, 0, 0, 40, 'M', 'O', 'D', 'R', 'a', 'b'});
    p.unit.close();
    Buffer b(64);
    EXPECT_EQ(receiveReply(p.client, b), ReplyStatus::Failed);
}

TEST(ReceiveReply, FailsWhenThePeerClosesInTheLengthField) {
    Pair p;
    p.send({0, 0});
    p.unit.close();
    Buffer b(64);
    EXPECT_EQ(receiveReply(p.client, b), ReplyStatus::Failed);
}

TEST(ReceiveReply, TimesOutOnASilentPeer) {
    Pair p;
    Buffer b(64);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(receiveReply(p.client, b), ReplyStatus::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(ReceiveReply, RefusesALengthTheBufferCannotHold) {
    Pair p;
    p.send({0, 0, 0, 65, 'M', 'O', 'D', 'R'});
    p.send(Buffer(57, 'x'));
    Buffer b(80, 0xAA);
    EXPECT_EQ(receiveReply(p.client, Bytes(b).first(64)), ReplyStatus::Failed);
    for (std::size_t i = 4; i < b.size(); ++i) ASSERT_EQ(b[i], 0xAA) << i;
}

TEST(ReceiveReply, RefusesALengthBelowTheHeader) {
    Pair p;
    p.send({0, 0, 0, 6, 'M', 'O'});
    Buffer b(64);
    EXPECT_EQ(receiveReply(p.client, b), ReplyStatus::Failed);
}

TEST(ReceiveReply, AFrameFillingTheBufferExactlyIsRead) {
    Pair p;
    Buffer frame(64, 'y');
    writeBE32(frame.data(), 64);
    std::copy_n("MODR", 4, frame.begin() + 4);
    p.send(frame);
    Buffer b(64);
    EXPECT_EQ(receiveReply(p.client, b), ReplyStatus::Reply);
    EXPECT_EQ(b[63], 'y');
}

TEST(SendQuery, SendsTheExactFrame) {
    Pair p;
    Buffer b(64);
    ASSERT_TRUE(sendQuery(p.client, b, ""));
    Buffer got(9);
    ASSERT_EQ(platform::receiveExactly(p.unit, got.data(), 9), platform::ReceiveStatus::Complete);
    EXPECT_EQ(got, (Buffer{0, 0, 0, 9, 'M', 'D', 'S', 'Q', 0}));
}

TEST(SendQuery, FailsWhenTheTextDoesNotFit) {
    Pair p;
    Buffer b(12);
    EXPECT_FALSE(sendQuery(p.client, b, "much too long"));
}

}  // namespace
}  // namespace protocol

namespace protocol {
namespace {

TEST(ReceiveReply, SaysWhyItFailed) {
    struct Case {
        const char* what;
        Buffer bytes;
        bool closeAfter;
        ReplyFailure why;
    };
    std::vector<Case> cases = {
        {"closed mid-frame", {0, 0, 0, 40, 'M', 'O'}, true, ReplyFailure::Closed},
        {"silent", {}, false, ReplyFailure::TimedOut},
        {"length too big", {0, 0, 0, 200, 'M', 'O', 'D', 'R'}, false, ReplyFailure::BadLength},
        {"length too small", {0, 0, 0, 4}, false, ReplyFailure::BadLength},
        {"whole frame", {0, 0, 0, 9, 'M', 'O', 'D', 'R', 0}, false, ReplyFailure::None},
    };
    for (Case& c : cases) {
        Pair p;
        if (!c.bytes.empty()) p.send(c.bytes);
        if (c.closeAfter) p.unit.close();
        Buffer b(64);
        ReplyFailure why = ReplyFailure::Failed;
        receiveReply(p.client, b, kReplyLimit, ReplyMode::AnyFrame, &why);
        EXPECT_EQ(why, c.why) << c.what;
    }
}

}  // namespace
}  // namespace protocol

namespace protocol {
namespace {

using namespace std::chrono_literals;

// Writes `piece` to the unit's side every `gap` until stopped (at most 200
// times), as a hostile unit would.
class Dripper {
  public:
    Dripper(Pair& p, Buffer piece, std::chrono::milliseconds gap)
        : thread_([&p, piece, gap, this] {
              for (int i = 0; i < 200 && !stop_; ++i) {
                  if (!platform::sendAll(p.unit, piece.data(), piece.size())) return;
                  std::this_thread::sleep_for(gap);
              }
          }) {}
    ~Dripper() {
        stop_ = true;
        thread_.join();
    }

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Hostile {
    const char* what;
    Buffer first;  // sent once before the drip
    Buffer drip;   // then sent again and again
};

// Every case would hold a reader that bounds each receive alone for ever.
TEST(ReceiveReplyDeadline, BoundsTheWholeReadAgainstAHostilePeer) {
    Buffer keepAlive(16);
    keepAlive.resize(buildKeepAlive(keepAlive));
    std::vector<Hostile> cases = {
        {"keep-alives for ever", {}, keepAlive},
        {"one byte at a time", {0, 0, 0, 60, 'M', 'O', 'D', 'R'}, {'x'}},
        {"a length, then silence", {0, 0, 0, 100, 'M', 'O', 'D', 'R'}, {}},
    };
    for (const Hostile& c : cases) {
        Pair p;
        platform::setReceiveTimeout(p.client, 0ms);  // no per-call bound at all
        if (!c.first.empty()) p.send(c.first);
        Dripper drip(p, c.drip, 20ms);
        Buffer b(128);
        ReplyFailure why = ReplyFailure::None;
        auto start = ReplyClock::now();
        EXPECT_EQ(receiveReply(p.client, b, 300ms, ReplyMode::SkipKeepAlives, &why),
                  ReplyStatus::Failed)
            << c.what;
        EXPECT_EQ(why, ReplyFailure::TimedOut) << c.what;
        // Without the one deadline the drip would go on for ever: a bound far
        // above 300 ms tells the two apart on any load.
        EXPECT_LT(ReplyClock::now() - start, 15s) << c.what;
    }
}

TEST(ReceiveReplyDeadline, AReplyInPiecesWithinTheLimitIsRead) {
    Pair p;
    Buffer frame = {0, 0, 0, 12, 'M', 'O', 'D', 'R', 'a', 'b', 'c', 0};
    std::thread unit([&] {
        for (std::uint8_t byte : frame) {
            platform::sendAll(p.unit, &byte, 1);
            std::this_thread::sleep_for(5ms);
        }
    });
    Buffer b(64);
    EXPECT_EQ(receiveReply(p.client, b, 5s), ReplyStatus::Reply);
    unit.join();
    EXPECT_EQ(bodyOf(b), "abc");
}

TEST(ReceiveReplyDeadline, LeavesTheSocketsOwnTimeOutAsItWas) {
    Pair p;  // 300 ms of its own
    p.sendFrame(FrameType::ModeResponse, "x");
    Buffer b(64);
    EXPECT_EQ(receiveReply(p.client, b, 5s), ReplyStatus::Reply);
    EXPECT_EQ(platform::receiveTimeout(p.client), 300ms);
    // The shorter of the two bounds a wait.
    auto start = ReplyClock::now();
    EXPECT_EQ(receiveReply(p.client, b, 20s), ReplyStatus::Failed);
    EXPECT_LT(ReplyClock::now() - start, 15s) << "300 ms, not the 20 s given";
}

TEST(ReceiveReplyDeadline, APassedDeadlineReadsNothing) {
    Pair p;
    p.sendFrame(FrameType::ModeResponse, "x");
    Buffer b(64);
    ReplyFailure why = ReplyFailure::None;
    EXPECT_EQ(receiveReply(p.client, b, ReplyClock::now() - 1s, ReplyMode::AnyFrame, &why),
              ReplyStatus::Failed);
    EXPECT_EQ(why, ReplyFailure::TimedOut);
}

}  // namespace
}  // namespace protocol
