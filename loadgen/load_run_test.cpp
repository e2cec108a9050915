// SPDX-License-Identifier: Apache-2.0
#include "loadgen/load_run.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>

#include "protocol/payload.h"
#include "unitsim/host_message.h"
#include "unitsim/unit.h"

namespace loadgen {
namespace {

using namespace std::chrono_literals;
using unitsim::barcodeTextMessage;
using unitsim::hostMessage;

// A host on 127.0.0.41:PORT that answers every request with the barcode it
// was sent, in brackets, and its zero byte, then closes; "slow" waits first.
class EchoHost {
  public:
    explicit EchoHost(std::uint16_t port) : port_(port) {
        listener_ = platform::createTcpSocket();
        platform::setReuseAddress(listener_);
        ready_ = platform::bindTo(listener_, port, *platform::lookupHost("127.0.0.41")) &&
                 platform::listenOn(listener_, 128);
        if (ready_)
            thread_ = std::thread([this] { serve(); });
    }
    ~EchoHost() {
        stopping_ = true;
        ::shutdown(listener_.fd(), SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
    }
    bool ready() const { return ready_; }
    std::size_t served() const { return served_; }

  private:
    void serve() {
        while (!stopping_) {
            platform::Socket c = platform::acceptFrom(listener_);
            if (!c)
                continue;
            char buffer[512] = {};
            long n = platform::receiveSome(c, buffer, sizeof buffer - 1);
            std::string text(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
            text = text.substr(0, text.find('\0'));
            if (text == "slow")
                std::this_thread::sleep_for(300ms);
            std::string answer = "[" + text + "]";
            platform::sendAll(c, answer.c_str(), answer.size() + 1);
            ++served_;
        }
    }
    std::uint16_t port_;
    platform::Socket listener_;
    bool ready_ = false;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> served_{0};
    std::thread thread_;
};

LoadPlan planFor(std::uint16_t port, std::vector<std::string> barcodes) {
    LoadPlan plan;
    plan.host = "127.0.0.41";
    plan.port = port;
    for (const std::string& b : barcodes)
        plan.messages.push_back({barcodeTextMessage(b), "[" + b + "]"});
    plan.timeout = 3000ms;
    return plan;
}

TEST(Load, OpenAndClosedLoopCountEveryAnswerRight) {
    EchoHost host(20101);
    ASSERT_TRUE(host.ready());
    LoadPlan open = planFor(20101, {"a", "b c"});
    open.rate = 200;
    open.count = 40;
    open.sources = {*platform::lookupHost("127.0.1.1"), *platform::lookupHost("127.0.1.2")};
    LoadPlan closed = planFor(20101, {"x"});
    closed.concurrency = 3;
    closed.count = 30;
    for (const LoadPlan* plan : {&open, &closed}) {
        LoadResult r = runLoad(*plan);
        EXPECT_EQ(r.error, "");
        EXPECT_EQ(r.sent, plan->count);
        EXPECT_EQ(r.answered, plan->count);
        EXPECT_EQ(r.wrong, 0u) << (r.wrongSamples.empty() ? "" : r.wrongSamples[0]);
        EXPECT_EQ(r.failed, 0u);
        EXPECT_TRUE(r.checked);
        EXPECT_EQ(r.replyMs.size(), plan->count);
    }
    // 40 at 200/s: the schedule spans 0.2 s however fast the host answers.
    EXPECT_EQ(host.served(), 70u);
}

TEST(Load, WrongAnswersAndFailuresAreCountedByReason) {
    EchoHost host(20102);
    ASSERT_TRUE(host.ready());
    LoadPlan wrong = planFor(20102, {"a"});
    wrong.expect = "[b]";
    wrong.messages[0].expect.reset();  // the plan's expectation holds
    wrong.count = 5;
    LoadResult r = runLoad(wrong);
    EXPECT_EQ(r.answered, 5u);
    EXPECT_EQ(r.wrong, 5u);
    ASSERT_FALSE(r.wrongSamples.empty());
    EXPECT_EQ(r.wrongSamples[0], "expected \"[b]\", got \"[a]\"");

    LoadPlan slow = planFor(20102, {"slow"});
    slow.timeout = 100ms;
    slow.count = 2;
    r = runLoad(slow);
    EXPECT_EQ(r.failed, 2u);
    EXPECT_EQ(r.failures["no answer within the time-out"], 2u);

    LoadPlan nobody = planFor(20103, {"a"});  // no host on that port
    nobody.count = 4;
    nobody.rate = 1000;
    r = runLoad(nobody);
    EXPECT_EQ(r.sent, 4u);
    EXPECT_EQ(r.failed, 4u);
    EXPECT_EQ(r.failures["connection refused"], 4u);
}

TEST(Load, AnAnswerWithoutACloseRunsIntoTheTimeOut) {
    unitsim::Options options;
    options.address = "127.0.0.42";
    unitsim::Unit unit(options);
    std::string error;
    ASSERT_TRUE(unit.start(error)) << error;
    LoadPlan plan;
    plan.host = "127.0.0.42";
    plan.messages.push_back({*[] {
                                 std::string e;
                                 return hostMessage("raw", {"0000000A 4D445351 2A00"},
                                                    e);  // MDSQ "*"
                             }(),
                             std::nullopt});
    plan.timeout = 200ms;
    plan.count = 1;
    LoadResult r = runLoad(plan);
    EXPECT_EQ(r.failures["answer not closed within the time-out"], 1u);
}

TEST(Load, MessageFileLines) {
    struct Case {
        const char* line;
        const char* kind;
        std::vector<std::string> words;
    } cases[] = {
        {"barcode 12 34", "barcode", {"12 34"}},
        {"prod X\r", "prod", {"X"}},
        {"event 0x20 65 0 0", "event", {"0x20", "65", "0", "0"}},
        {"event 0x20 65 1 2 some text", "event", {"0x20", "65", "1", "2", "some text"}},
        {"register id prod 1.2.3.4", "register", {"id", "prod", "1.2.3.4"}},
        {"raw 00 01  02", "raw", {"00", "01", "02"}},
    };
    for (const Case& c : cases) {
        auto split = unitsim::splitMessageLine(c.line);
        ASSERT_TRUE(split) << c.line;
        EXPECT_EQ(split->kind, c.kind);
        EXPECT_EQ(split->words, c.words) << c.line;
    }
    EXPECT_FALSE(unitsim::splitMessageLine(""));
    EXPECT_FALSE(unitsim::splitMessageLine("# a comment"));
    std::string error;
    EXPECT_FALSE(hostMessage("event", {"1", "2", "x", "4"}, error));
    EXPECT_EQ(error, "bad number 'x'");
    EXPECT_FALSE(hostMessage("raw", {"0G"}, error));
    EXPECT_FALSE(hostMessage("frob", {}, error));
    EXPECT_EQ(error, "unknown message kind 'frob'");
}

}  // namespace
}  // namespace loadgen
