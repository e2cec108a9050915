// SPDX-License-Identifier: Apache-2.0
// The Mibbet program in a network namespace of its own (it always binds port
// 1283 on all addresses): answers, silences, the counter and the data file
// changing under it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "protocol/payload.h"
#include "tests/mibbet/mibbet_client.h"
#include "tests/support/process.h"
#include "tests/support/scripted_unit.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using mibbet_test::Bytes;
using mibbet_test::exchange;
using mibbet_test::exchangeText;
using protocol::FrameType;
using support::frame;

const std::string kData =
    "K1\tvalue with  blanks\r\n"
    "DUP\tfirst\n"
    "DUP\tsecond\n"
    "EMPTY\t\n"
    "EMPTY\tlater\n"
    " BLANK\tnever\n"
    "\tTABBED\tnever\n"
    "Case\tupper\n"
    "A\tB\tvalue of A tab B\n"
    "\n"
    "LAST\tno line feed";

class MibbetRun : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!support::enterOwnNetworkNamespace(why)) GTEST_SKIP() << "no network namespace: " << why;
        dir_ = support::makeTempDir("mibbet-e2e");
        ASSERT_FALSE(dir_.empty());
        support::writeFile(data(), kData);
        server_ = std::make_unique<support::Background>(std::vector<std::string>{MIBBET_BIN},
                                                        dir_);
        // The readiness probe is the first connection: the counter is 1 after it.
        ASSERT_TRUE(support::waitForPort("127.0.0.1", 1283, 5s));
    }
    void TearDown() override {
        if (server_) {
            support::RunResult r = server_->stop();
            EXPECT_EQ(r.out, "");  // Mibbet prints nothing while it serves
            EXPECT_EQ(r.err, "");
        }
        std::remove(data().c_str());
        if (!dir_.empty()) ::rmdir(dir_.c_str());
    }
    std::string data() const { return dir_ + "/mibbetdata.dat"; }

    std::string dir_;
    std::unique_ptr<support::Background> server_;
};

struct AnswerCase {
    const char* name;
    Bytes request;
    std::string answer;  // empty: no answer, only the close
};

class MibbetAnswer : public MibbetRun, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(MibbetAnswer, IsExactlyTheseBytesThenTheClose) {
    mibbet_test::Reply reply = exchange(GetParam().request);
    ASSERT_TRUE(reply.connected);
    EXPECT_TRUE(reply.closedByServer);
    EXPECT_EQ(reply.bytes, GetParam().answer);
}

Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes eventFrame() {
    Bytes f(64);
    protocol::Event event;
    event.newStarts = 0x01;
    event.text = "B1";
    f.resize(protocol::buildEvent(f, event));
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, MibbetAnswer,
    ::testing::Values(
        AnswerCase{"textCrLf", text("K1\r\n"), "value with  blanks\0"s},
        AnswerCase{"textWithZero", text("K1\0ignored"s), "value with  blanks\0"s},
        AnswerCase{"prodFrame", frame(FrameType::ProductQuery, "K1\0"s), "value with  blanks\0"s},
        AnswerCase{"prodWithPrefix", frame(FrameType::ProductQuery, "pre\tK1\0"s),
                   "value with  blanks\0"s},
        AnswerCase{"onlyFirstTabSplits", text("pre\tA\tB"), "value of A tab B\0"s},
        AnswerCase{"keyBeforeSecondTab", text("A"), "B\tvalue of A tab B\0"s},
        AnswerCase{"firstDuplicateWins", text("DUP"), "first\0"s},
        AnswerCase{"emptyValuePassedOver", text("EMPTY"), "later\0"s},
        AnswerCase{"lastLineWithoutLineFeed", text("LAST"), "no line feed\0"s},
        AnswerCase{"notFoundShowsCounter", text("NOPE"), "NOPE\r\n  1\0"s},
        AnswerCase{"caseSensitive", text("case"), "case\r\n  1\0"s},
        AnswerCase{"blankLineNeverMatches", text("x\t BLANK"), " BLANK\r\n  1\0"s},
        AnswerCase{"tabbedLineNeverMatches", text("TABBED"), "TABBED\r\n  1\0"s},
        AnswerCase{"longKeyNotFound", text(std::string(200, 'k')),
                   std::string(200, 'k') + "\r\n  1\0"s},
        AnswerCase{"fullBufferWithoutZero", text(std::string(8192, 'z')),
                   std::string(8192, 'z') + "\r\n  1\0"s},
        AnswerCase{"whiteSpaceOnly", text(" \t\r\n"), ""},
        AnswerCase{"eventFrame", eventFrame(), ""},
        AnswerCase{"terminateFrame", frame(FrameType::Terminate, "\0"s), ""},
        AnswerCase{"queryFrame", frame(FrameType::TarnixQuery, "K1\0"s), ""},
        AnswerCase{"unknownCode",
                   support::withCode(frame(FrameType::ProductQuery, "K1\0"s), "prod"), ""},
        AnswerCase{"lengthBelowEight", text("\0\0\0\x07PRODK1\0"s), ""},
        AnswerCase{"emptyConnection", {}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MibbetRun, CounterCountsEveryConnectionAnsweredOrNot) {
    EXPECT_EQ(exchange({}).bytes, "");                     // 1: empty
    EXPECT_EQ(exchange(frame(FrameType::Terminate, "\0"s)).bytes, "");  // 2: no answer
    EXPECT_EQ(exchangeText("K1").bytes, "value with  blanks\0"s);  // 3: found
    EXPECT_EQ(exchangeText("X").bytes, "X\r\n  4\0"s);
    EXPECT_EQ(exchangeText("X").bytes, "X\r\n  5\0"s);
}

TEST_F(MibbetRun, DataFileRemovedAndRestoredWhileRunning) {
    EXPECT_EQ(exchangeText("DUP").bytes, "first\0"s);
    std::string aside = dir_ + "/aside";
    ASSERT_EQ(std::rename(data().c_str(), aside.c_str()), 0);
    EXPECT_EQ(exchangeText("DUP").bytes, "DUP\r\n  2\0"s);
    ASSERT_EQ(std::rename(aside.c_str(), data().c_str()), 0);
    EXPECT_EQ(exchangeText("DUP").bytes, "first\0"s);
}

TEST_F(MibbetRun, AnEditIsSeenByTheVeryNextRequest) {
    for (const char* value : {"one", "two", "six", "ten"}) {  // same size each time
        support::writeFile(data(), "K\t"s + value + "\n");
        EXPECT_EQ(exchangeText("K").bytes, value + "\0"s);
    }
}

TEST_F(MibbetRun, ASecondServerCannotBindThePort) {
    support::RunResult r = support::run({MIBBET_BIN}, {{}, dir_, 5000ms});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "bind failed");
}

}  // namespace
