// SPDX-License-Identifier: Apache-2.0
// Fennick.exe under Wine on a virtual screen, typed into and clicked as a
// person would, against simulated units on 127.0.24.x: the settings frame
// each unit receives, byte for byte, and OK's exact colours in screenshots.
#include <gtest/gtest.h>

#include <thread>

#include "frontends/fennick/form1_logic.h"
#include "protocol/payload.h"
#include "tests/windows/wine.h"
#include "tests/windows/x_display.h"
#include "ui/colour.h"
#include "ui/twips.h"
#include "unitsim/unit.h"

namespace windows_test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Point {
    int x = 0;
    int y = 0;
};

// The centre of a control's place, in client pixels.
Point centre(const ui::TwipsRect& r) {
    return {ui::twipsToPixels(r.left + r.width / 2), ui::twipsToPixels(r.top + r.height / 2)};
}

// The frame a unit receives for `line`: DATA FILE, kind FILE, "setscanner2".
std::vector<std::uint8_t> settingsFrame(const std::string& line) {
    std::vector<std::uint8_t> frame(protocol::fileFrameSize("FILE", "setscanner2", line.size()));
    const std::size_t length =
        protocol::buildFileFrame(frame, "FILE", "setscanner2",
                                 {reinterpret_cast<const std::uint8_t*>(line.data()), line.size()});
    frame.resize(length);
    return frame;
}

std::string shot(const std::string& name) {
    return std::string(SHOTS_DIR) + "/" + name;
}

std::string settingsLine(const std::string& speed, const std::string& bits, const char* words) {
    return "stty -F /dev/ttyS0 ispeed " + speed + " ospeed " + speed + " cs" + bits + " " + words +
           " cread -echo -echoe -echok min 1\n";
}

class FennickUnderWine : public WineTest {
  protected:
    void SetUp() override {
        WineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        display_ = std::make_unique<XDisplay>();
        ASSERT_TRUE(display_->started()) << display_->why();
        unitsim::Options options;
        options.address = "127.0.24.1";
        unit_ = std::make_unique<unitsim::Unit>(options);
        std::string error;
        ASSERT_TRUE(unit_->start(error)) << error;
        fennick_ = std::make_unique<support::Background>(wineCommand("Fennick.exe", {}));
        const auto window = display_->findWindow(fennick::kTitle, 120s);
        ASSERT_TRUE(window) << "no \"Configure Port 2\" window: " << fennick_->stop().err;
        window_ = *window;
        // Without a window manager the X window is the client area, and it
        // stays where it is.
        ASSERT_TRUE(display_->windowOrigin(*window, left_, top_));
    }

    // Replaces the text of the field at `place` by `text` (click, select it
    // all, type).
    void retype(const ui::TwipsRect& place, const std::string& text) {
        const Point at = centre(place);
        display_->click(left_ + at.x - 30, top_ + at.y);
        for (const char* key : {"End", "shift+Home", "BackSpace"}) display_->key(key);
        if (!text.empty())
            display_->type(text);
    }
    const ui::TwipsRect& combo(fennick::Field field) {
        for (const auto& spec : fennick::combos()) {
            if (spec.field == field)
                return spec.place;
        }
        return fennick::kAddressPlace;
    }
    // Pixels of OK's face (inside its edge) in `colour`, once they cover most
    // of it (bounded wait: the window repaints when Wine gets to it).
    bool okShows(const ui::Colour& colour) {
        const auto p = fennick::kOkButton.place;
        const int x = ui::twipsToPixels(p.left) + 3, y = ui::twipsToPixels(p.top) + 3;
        const int w = ui::twipsToPixels(p.width) - 6, h = ui::twipsToPixels(p.height) - 6;
        for (auto until = Clock::now() + 20s; Clock::now() < until;) {
            if (pixelsOf(x, y, w, h, colour) > w * h / 2)
                return true;
            std::this_thread::sleep_for(300ms);
        }
        return false;
    }

    // Pixels of the client rectangle at x, y (w by h) in exactly `colour`.
    int pixelsOf(int x, int y, int w, int h, const ui::Colour& colour) {
        const Screenshot screen = display_->shoot(shot("fennick_exe_now.png"));
        const Pixel wanted{colour.red, colour.green, colour.blue};
        int count = 0;
        for (int row = 0; row < h; ++row) {
            for (int column = 0; column < w; ++column)
                count += screen.at(left_ + x + column, top_ + y + row) == wanted ? 1 : 0;
        }
        return count;
    }

    std::unique_ptr<XDisplay> display_;
    std::string window_;
    int left_ = 0;
    int top_ = 0;
    std::unique_ptr<unitsim::Unit> unit_;
    std::unique_ptr<support::Background> fennick_;
};

TEST_F(FennickUnderWine, SendsTheExactFramesAndShowsTheExactColours) {
    // Into IP (where the focus starts, but the screen has no window manager
    // to give the window the keyboard): the address, and Enter presses OK.
    retype(fennick::kAddressPlace, "127.0.24.1");
    display_->key("Return");
    ASSERT_TRUE(unit_->waitForReceived(1, 30s));
    const std::string hardware =
        settingsLine("9600", "8", "-cstopb -parenb icrnl hupcl -icanon clocal crtscts -ixon");
    ASSERT_EQ(unit_->streams().size(), 1u);
    EXPECT_EQ(unit_->streams()[0].size(), 200u);
    EXPECT_EQ(unit_->streams()[0], settingsFrame(hardware));
    const auto journal = unit_->journal();
    EXPECT_NE(
        std::find(journal.begin(), journal.end(), "recv DATA FILE FILE \"setscanner2\" 136 bytes"),
        journal.end());
    EXPECT_TRUE(okShows(ui::kGreen)) << "OK in exact green (0,255,0)";
    display_->shoot(shot("fennick_exe_green.png"));

    // Typed values, none picked from a list; editing the address makes OK
    // usable again.
    using fennick::Field;
    retype(combo(Field::DataRate), "19200");
    retype(combo(Field::DataBits), "7");
    retype(combo(Field::Parity), "Even");
    retype(combo(Field::StopBits), "2");
    retype(combo(Field::FlowControl), "Xon / Xoff");
    retype(fennick::kAddressPlace, "127.0.24.1");
    display_->key("Return");
    ASSERT_TRUE(unit_->waitForReceived(2, 30s))
        << (display_->shoot(shot("fennick_exe_typed_failed.png")), "screenshot saved");
    EXPECT_EQ(unit_->streams()[1],
              settingsFrame(settingsLine(
                  "19200", "7", "cstopb parenb -parodd icrnl hupcl -icanon clocal ixon -crtscts")));

    // Nothing listens on .99: OK turns exact red (255,0,0).
    retype(fennick::kAddressPlace, "127.0.24.99");
    display_->key("Return");
    EXPECT_TRUE(okShows(ui::kRed)) << "OK in exact red (255,0,0)";
    display_->shoot(shot("fennick_exe_red.png"));
    EXPECT_EQ(unit_->streams().size(), 2u);

    // Escape is Exit: the program ends.
    display_->key("Escape");
    bool ended = false;
    for (auto until = Clock::now() + 30s; Clock::now() < until && !ended;) {
        ended = !fennick_->running();
        std::this_thread::sleep_for(200ms);
    }
    EXPECT_TRUE(ended) << "Escape ends Fennick.exe";
}

// No mouse at all: the address typed, the settings chosen with the arrow
// keys (each a pick that makes OK usable), Tab to OK and Enter presses it;
// OK disabled hands the focus on to Exit, and Escape ends the program.
TEST_F(FennickUnderWine, KeyboardOnly) {
    display_->focus(window_);
    display_->type("127.0.24.1");
    display_->key("Tab");
    display_->key("Down");  // 9600 -> 19200
    display_->key("Tab");
    display_->key("Up");  // 8 -> 7
    display_->key("Tab");
    display_->key("Up");
    display_->key("Up");  // None -> Odd -> Even
    display_->key("Tab");
    display_->key("Down");  // 1 -> 2
    display_->key("Tab");
    display_->key("Up");   // Hardware -> Xon / Xoff
    display_->key("Tab");  // OK
    display_->key("Return");
    ASSERT_TRUE(unit_->waitForReceived(1, 30s))
        << (display_->shoot(shot("fennick_exe_keyboard_failed.png")), "screenshot saved");
    EXPECT_EQ(unit_->streams()[0],
              settingsFrame(settingsLine(
                  "19200", "7", "cstopb parenb -parodd icrnl hupcl -icanon clocal ixon -crtscts")));
    EXPECT_TRUE(okShows(ui::kGreen));
    display_->shoot(shot("fennick_exe_keyboard.png"));

    display_->key("Escape");
    bool ended = false;
    for (auto until = Clock::now() + 30s; Clock::now() < until && !ended;) {
        ended = !fennick_->running();
        std::this_thread::sleep_for(200ms);
    }
    EXPECT_TRUE(ended) << "Escape ends Fennick.exe after OK";
}

}  // namespace
}  // namespace windows_test
