// SPDX-License-Identifier: Apache-2.0
// The three windows at 100 % and 150 % (Wine's screen DPI, LogPixels, in a
// prefix of the test's own): each is laid out from its twips at the screen's
// DPI (so 150 % is half as large again and sharp, not stretched), and a
// screenshot of each is kept in the build folder for people to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

#include "tests/windows/wine.h"
#include "tests/windows/x_display.h"

namespace windows_test {
namespace {

using namespace std::chrono_literals;

struct Window {
    const char* program;
    const char* title;
    int widthTwips;  // the client area at the design size
    int heightTwips;
};

const Window kWindows[] = {
    {"Veltrin.exe", "Veltrin 3.4", 9795, 8955},
    {"Fennick.exe", "Configure Port 2", 4680, 5715},
    {"Zorrel.exe", "Form1", 7425, 6990},
};

class Looks : public WineTest, public ::testing::WithParamInterface<int> {};

TEST_P(Looks, EachWindowScalesItsTwipsWithTheDpi) {
    const int dpi = GetParam();
    const std::string dir = support::makeTempDir("wine_looks");
    OwnPrefix prefix;
    std::string error;
    ASSERT_TRUE(prefix.make(dir + "/wine", error)) << error;
    ASSERT_TRUE(prefix.setRegistry("HKCU\\Control Panel\\Desktop", "LogPixels", "REG_DWORD",
                                   std::to_string(dpi)));
    // Room for Veltrin at 150 %: Wine keeps a window inside the screen.
    XDisplay display(1600, 1200);
    ASSERT_TRUE(display.started()) << display.why();
    for (const Window& w : kWindows) {
        SCOPED_TRACE(w.program);
        support::Background program(prefix.command(windowsBin() + "/" + w.program), dir);
        ASSERT_TRUE(display.findWindow(w.title, 120s)) << "no window";
        // The client area, as window_peek.exe reads it.
        int width = 0, height = 0;
        support::RunOptions options;
        options.timeout = 60s;
        for (int tries = 0; tries < 60 && width == 0; ++tries) {
            support::RunResult r =
                support::run(prefix.command(windowsBin() + "/window_peek.exe", {w.title}), options);
            std::istringstream lines(r.out);
            for (std::string line; std::getline(lines, line);) {
                std::istringstream fields(line);
                std::string first;
                int left = 0, top = 0, right = 0, bottom = 0;
                if (fields >> first >> left >> top >> right >> bottom && first == "window") {
                    width = right - left;
                    height = bottom - top;
                }
            }
            if (width == 0)
                std::this_thread::sleep_for(500ms);
        }
        EXPECT_NEAR(width, w.widthTwips * dpi / 1440, 1);
        EXPECT_NEAR(height, w.heightTwips * dpi / 1440, 1);
        std::this_thread::sleep_for(1s);  // let it paint
        std::string name = w.program;
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        name = name.substr(0, name.find('.'));
        const Screenshot shot = display.shoot(std::string(SHOTS_DIR) + "/" + name + "_wine_" +
                                              std::to_string(dpi * 100 / 96) + "percent.png");
        EXPECT_TRUE(shot.valid());
        program.stop();
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, Looks, ::testing::Values(96, 144),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::to_string(info.param * 100 / 96) + "Percent";
                         });

}  // namespace
}  // namespace windows_test
