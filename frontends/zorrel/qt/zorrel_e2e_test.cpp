// SPDX-License-Identifier: Apache-2.0
// The Zorrel window with its real control, serving port 1283 of every
// address inside this test's own network namespace; units are played by the
// simulated unit's host side.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <future>

#include "frontends/control/recording_control.h"
#include "frontends/zorrel/qt/form1.h"
#include "frontends/zorrel/zorrel_control.h"
#include "protocol/file_frame.h"
#include "tests/support/process.h"
#include "unitsim/host.h"

namespace zorrel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The real control, with the time of every poll noted for the freeze check.
class TimedControl : public frontends::Control {
  public:
    TimedControl(std::vector<Clock::time_point>* polls) : real_(HEADER_GIF_DIR), polls_(polls) {}
    frontends::Value invoke(int dispatchId, frontends::Arguments& args) override {
        if (dispatchId == kPoll)
            polls_->push_back(Clock::now());
        return real_.invoke(dispatchId, args);
    }

  private:
    ZorrelControl real_;
    std::vector<Clock::time_point>* polls_;
};

struct ChunkArrival {
    Clock::time_point at;
    std::vector<std::uint8_t> bytes;
};

// A unit that sends `request` and notes when each piece of the answer arrives,
// until the host closes or the time-out passes.
std::vector<ChunkArrival> timedExchange(const std::string& request, std::chrono::seconds timeout) {
    std::vector<ChunkArrival> arrivals;
    platform::Socket socket = platform::createTcpSocket();
    if (!platform::connectBlocking(socket, (127u << 24) | 1u, 1283))
        return arrivals;
    platform::sendAll(socket, request.data(), request.size());
    platform::setReceiveTimeout(socket, std::chrono::duration_cast<std::chrono::milliseconds>(timeout));
    std::uint8_t buffer[4096];
    for (int i = 0; i < 100; ++i) {
        long got = platform::receiveSome(socket, buffer, sizeof buffer);
        if (got <= 0)
            break;
        arrivals.push_back({Clock::now(), {buffer, buffer + got}});
    }
    return arrivals;
}

class ZorrelEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!support::enterOwnNetworkNamespace(why))
            GTEST_SKIP() << "needs a network namespace of its own: " << why;
        frontends::registerControl(frontends::kZorrelControlName,
                                   [this] { return std::make_unique<TimedControl>(&polls); });
        form = std::make_unique<Form1>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QTest::mouseClick(form->findChild<QPushButton*>("StartServer"), Qt::LeftButton);
        ASSERT_EQ(form->findChild<QLabel*>("Info")->text(), "Connecting..., Please wait.");
        target.host = "127.0.0.1";
        target.timeout = 6s;
    }
    void TearDown() override {
        if (form)
            QTest::mouseClick(form->findChild<QPushButton*>("ExitServer"), Qt::LeftButton);
        form.reset();
        frontends::unregisterControl(frontends::kZorrelControlName);
    }
    // Runs the window until the unit's side is done (bounded).
    template <typename T>
    T serve(std::future<T>& unit, std::chrono::seconds most = 10s) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return unit.wait_for(0s) == std::future_status::ready; },
                                    static_cast<int>(std::chrono::milliseconds(most).count())))
            << "the unit's side did not finish";
        return unit.get();
    }

    std::vector<Clock::time_point> polls;
    std::unique_ptr<Form1> form;
    unitsim::HostTarget target;
};

TEST_F(ZorrelEndToEnd, TrivialTextGetsFirstAtOnceAndSecondTwoSecondsLater) {
    const auto sent = Clock::now();
    auto unit = std::async(std::launch::async,
                           [] { return timedExchange(std::string("4006381333931", 14), 8s); });
    QTest::qWait(500);
    form->grab().save(QStringLiteral(SCREENSHOT_DIR "/zorrel_serving.png"));
    auto arrivals = serve(unit);
    ASSERT_EQ(arrivals.size(), 2u) << "two answers on the one connection";
    const std::vector<std::uint8_t> first{'F', 'i', 'r', 's', 't', ' ', 'M',
                                          'e', 's', 's', 'a', 'g', 'e', 0};
    EXPECT_EQ(arrivals[0].bytes, first);
    const std::string second("Second Message", 15);
    EXPECT_EQ(arrivals[1].bytes, std::vector<std::uint8_t>(second.begin(), second.end()));
    // Lower bounds hold on any load; the upper ones only tell "at once" and
    // "two seconds" from the unit's 8 s time-out.
    EXPECT_LT(arrivals[0].at - sent, 6s);
    EXPECT_GE(arrivals[1].at - arrivals[0].at, 1800ms);
    EXPECT_LT(arrivals[1].at - arrivals[0].at, 6s);
}

TEST_F(ZorrelEndToEnd, AProductQueryGetsHeaderGifByteForByte) {
    auto unit = std::async(std::launch::async, [this] {
        return unitsim::sendBarcodeFrame(target, "PFX\t4006381333931");
    });
    auto reply = serve(unit);
    auto expected = protocol::loadFileFrame(std::string(HEADER_GIF_DIR) + "/header.gif",
                                            protocol::kFileKindImage, {}, 102400);
    ASSERT_TRUE(expected);
    ASSERT_TRUE(reply.connected);
    EXPECT_EQ(reply.bytes, *expected);
    EXPECT_EQ(form->findChild<QLabel*>("Info")->text().toStdString(),
              "Responding to Nominal mode packet");
}

TEST_F(ZorrelEndToEnd, AnEventGetsNoAnswerAndItsConnectionIsClosed) {
    auto unit = std::async(std::launch::async,
                           [this] { return unitsim::sendEvent(target, 0x20, 'A', 0, 0); });
    const auto sent = Clock::now();
    auto reply = serve(unit);
    EXPECT_TRUE(reply.connected);
    EXPECT_TRUE(reply.bytes.empty());
    EXPECT_LT(Clock::now() - sent, 3s) << "closed by the host, not by the unit's time-out";
}

TEST_F(ZorrelEndToEnd, ASilentUnitDoesNotFreezeTheWindow) {
    platform::Socket silent = platform::createTcpSocket();
    ASSERT_TRUE(platform::connectBlocking(silent, (127u << 24) | 1u, 1283));
    QTest::qWait(1500);
    ASSERT_GE(polls.size(), 3u);
    Clock::duration longest{};
    for (std::size_t i = 1; i < polls.size(); ++i)
        longest = std::max(longest, polls[i] - polls[i - 1]);
    EXPECT_LT(longest, 2000ms) << "the next poll runs within the request bound";

    auto unit = std::async(std::launch::async,
                           [this] { return unitsim::sendBarcodeFrame(target, "after"); });
    EXPECT_FALSE(serve(unit).bytes.empty()) << "the next unit is served";
}

}  // namespace
}  // namespace zorrel
