// A virtual X screen (Xvfb) for the Windows windows under Wine, driven as a
// person would: find a window by its title, click into it, type, press keys
// (xdotool), and look at its pixels (a screenshot with ImageMagick's import).
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "tests/support/process.h"
#include "ui/colour.h"

namespace windows_test {

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

class VirtualScreen {
  public:
    // Starts Xvfb on the first free display number from `firstDisplay` on
    // (ten tried) and points DISPLAY at it for every program started
    // afterwards. failure() tells why when it did not start.
    explicit VirtualScreen(int firstDisplay);
    ~VirtualScreen();
    VirtualScreen(const VirtualScreen&) = delete;
    VirtualScreen& operator=(const VirtualScreen&) = delete;

    const std::string& failure() const { return failure_; }
    const std::string& display() const { return display_; }

    // The id of a visible window titled `title`; empty when none shows up in
    // time.
    std::string waitForWindow(const std::string& title, std::chrono::milliseconds timeout);
    // The screen position of the window's client area: Wine draws no frame
    // of its own without a window manager, so the X window is the client area.
    ScreenPoint origin(const std::string& window);

    // Mouse click at a point of the window's client area, in pixels.
    bool click(const std::string& window, int x, int y);
    // Keys to the window that has the keyboard focus: text typed as it is,
    // or key names, several one after the other ("Return", "End shift+Home").
    bool type(const std::string& text);
    bool key(const std::string& names);

    // Saves the screen as a PNG.
    bool screenshot(const std::string& path);
    // How many pixels of the window's client rectangle (pixels, relative to
    // its origin) have exactly `colour`, from a fresh screenshot.
    int pixelsOf(const std::string& window, int x, int y, int width, int height,
                 const ui::Colour& colour);

  private:
    support::RunResult xdotool(std::vector<std::string> args);

    std::string display_;
    std::string failure_;
    std::unique_ptr<support::Background> server_;
};

}  // namespace windows_test
