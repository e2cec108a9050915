// SPDX-License-Identifier: Apache-2.0
// Zorrel.exe under Wine on a virtual screen, serving port 1283 of every
// address in the test's own network namespace with a private Wine prefix;
// its buttons clicked as a person would, units played from the Linux side.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>

#include "frontends/zorrel/form1_logic.h"
#include "platform/socket.h"
#include "protocol/file_frame.h"
#include "protocol/frame.h"
#include "tests/windows/wine.h"
#include "tests/windows/x_display.h"
#include "ui/colour.h"
#include "ui/twips.h"
#include "unitsim/host.h"
#include "unitsim/unit.h"

namespace windows_test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr platform::Ipv4 kLoopback = (127u << 24) | 1u;

std::vector<std::uint8_t> bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

class ZorrelUnderWine : public WineInOwnNetwork {
  protected:
    void SetUp() override {
        WineInOwnNetwork::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        display_ = std::make_unique<XDisplay>();
        ASSERT_TRUE(display_->started()) << display_->why();
        const std::string folder = placeProgram();
        ASSERT_FALSE(HasFailure()) << "Zorrel.exe could not be placed";
        zorrel_ = std::make_unique<support::Background>(
            std::vector<std::string>{WINE_LOADER, folder + "/Zorrel.exe"}, dir_);
        const auto window = display_->findWindow(zorrel::kTitle, 120s);
        ASSERT_TRUE(window) << "no Zorrel window: " << zorrel_->stop().err;
        window_ = *window;
        ASSERT_TRUE(display_->windowOrigin(*window, left_, top_));
        target_.timeout = 20s;
    }
    // The folder Zorrel.exe runs from, with header.gif beside it.
    virtual std::string placeProgram() { return windowsBin(); }
    void TearDown() override {
        zorrel_.reset();
        display_.reset();
        WineInOwnNetwork::TearDown();
    }
    void press(const ui::TwipsRect& button) {
        display_->click(left_ + ui::twipsToPixels(button.left + button.width / 2),
                        top_ + ui::twipsToPixels(button.top + button.height / 2));
    }
    void startServer() {
        press(zorrel::kStartServer.place);
        ASSERT_TRUE(support::waitForPort("127.0.0.1", 1283, 60s)) << "the server did not start";
    }

    std::unique_ptr<XDisplay> display_;
    std::string window_;
    int left_ = 0;
    int top_ = 0;
    std::unique_ptr<support::Background> zorrel_;
    unitsim::HostTarget target_;
};

TEST_F(ZorrelUnderWine, AnswersUnitsAndStopsCleanly) {
    startServer();

    // Plain text: "First Message" at once, "Second Message" two seconds later.
    const auto sent = Clock::now();
    unitsim::HostReply trivial = unitsim::sendBarcodeText(target_, "4006381333931");
    EXPECT_TRUE(trivial.connected);
    EXPECT_EQ(trivial.bytes, bytesOf(std::string_view("First Message\0Second Message\0", 29)));
    EXPECT_GE(Clock::now() - sent, 1800ms) << "the second message waits two seconds";

    // A product query frame: header.gif from beside the program, byte for byte.
    auto image =
        protocol::loadFileFrame(windowsBin() + "/header.gif", protocol::kFileKindImage, {}, 102400);
    ASSERT_TRUE(image);
    EXPECT_EQ(unitsim::sendBarcodeFrame(target_, "PFX\t4006381333931").bytes, *image);
    display_->shoot(std::string(SHOTS_DIR) + "/zorrel_exe_serving.png");

    // A unit that connects and says nothing does not hold the window: the
    // next unit is still answered.
    platform::Socket silent = platform::createTcpSocket();
    ASSERT_TRUE(platform::connectBlocking(silent, kLoopback, 1283));
    EXPECT_EQ(unitsim::sendBarcodeFrame(target_, "after").bytes, *image);

    // Exit Server in the pause: the unit has its first message, then the
    // connection ends without the second; the window serves again after
    // Start Server.
    platform::Socket unit = platform::createTcpSocket();
    ASSERT_TRUE(platform::connectBlocking(unit, kLoopback, 1283));
    platform::sendAll(unit, "12345", 6);
    platform::setReceiveTimeout(unit, 20000ms);
    std::vector<std::uint8_t> first(14);
    ASSERT_EQ(platform::receiveExactly(unit, first.data(), first.size()), platform::ReceiveStatus::Complete);
    EXPECT_EQ(first, bytesOf(std::string_view("First Message\0", 14)));
    press(zorrel::kExitServer.place);
    char more = 0;
    EXPECT_EQ(platform::receiveSome(unit, &more, 1), 0) << "closed, no second message";
    EXPECT_TRUE(zorrel_->running());
    startServer();
    EXPECT_EQ(unitsim::sendBarcodeFrame(target_, "again").bytes, *image);
    EXPECT_TRUE(zorrel_->running());
}

// Start and stop without a mouse: Space on Start Server, which has the
// focus; the focus follows to Exit Server, where Enter stops the server;
// back on Start Server, Space starts it again.
TEST_F(ZorrelUnderWine, KeyboardOnly) {
    display_->focus(window_);
    display_->key("space");
    ASSERT_TRUE(support::waitForPort("127.0.0.1", 1283, 60s)) << "the server did not start";
    display_->key("Return");
    bool stopped = false;
    for (auto until = Clock::now() + 30s; Clock::now() < until && !stopped;) {
        stopped = !unitsim::sendBarcodeText(target_, "1").connected;
        if (!stopped)
            std::this_thread::sleep_for(300ms);
    }
    EXPECT_TRUE(stopped) << "Enter on Exit Server stops the server";
    display_->key("space");
    ASSERT_TRUE(support::waitForPort("127.0.0.1", 1283, 60s)) << "the server did not start again";
    EXPECT_TRUE(zorrel_->running());
}

// Zorrel.exe in a folder whose name no single-byte code page holds (an o
// umlaut and two CJK characters) still finds header.gif beside itself.
class ZorrelInAForeignFolder : public ZorrelUnderWine {
  protected:
    std::string placeProgram() override {
        namespace fs = std::filesystem;
        const fs::path folder = fs::path(dir_) / "Z\xC3\xB6rrel \xE6\x97\xA5\xE6\x9C\xAC";
        std::error_code error;
        fs::create_directories(folder, error);
        for (const char* file : {"Zorrel.exe", "header.gif"}) {
            if (!error)
                fs::copy_file(fs::path(windowsBin()) / file, folder / file, error);
        }
        EXPECT_FALSE(error) << error.message();
        return folder.string();
    }
};

TEST_F(ZorrelInAForeignFolder, SendsTheImageBesideIt) {
    startServer();
    auto image =
        protocol::loadFileFrame(windowsBin() + "/header.gif", protocol::kFileKindImage, {}, 102400);
    ASSERT_TRUE(image);
    EXPECT_EQ(unitsim::sendBarcodeFrame(target_, "PFX\t4006381333931").bytes, *image);
    EXPECT_TRUE(zorrel_->running());
}

}  // namespace
}  // namespace windows_test
