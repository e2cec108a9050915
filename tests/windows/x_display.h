// SPDX-License-Identifier: Apache-2.0
// A display of its own for a window test: Xvfb on a free display number,
// xdotool to click and type, ImageMagick for screenshots whose pixels the
// test reads. Every wait is bounded.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/process.h"

namespace windows_test {

struct Pixel {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Pixel&, const Pixel&) = default;
};

// A screenshot of the whole screen, with its pixels.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;  // width * height * 3 bytes
    Pixel at(int x, int y) const;
    bool valid() const { return width > 0; }
};

class XDisplay {
  public:
    // Starts Xvfb with a screen of the given size; started() says whether
    // it came up (why() tells why not).
    explicit XDisplay(int width = 1024, int height = 768);
    bool started() const { return !name_.empty(); }
    const std::string& why() const { return why_; }
    // ":N", also put in DISPLAY for the programs this process starts.
    const std::string& name() const { return name_; }

    // The first window whose title is `title`, waited for up to `timeout`.
    std::optional<std::string> findWindow(const std::string& title,
                                          std::chrono::milliseconds timeout);
    // A window other than `title` that appears within `timeout` (a dialog
    // whose title the locale translates).
    std::optional<std::string> findOtherWindow(const std::string& title,
                                               std::chrono::milliseconds timeout);
    // The window's position on the screen.
    bool windowOrigin(const std::string& window, int& x, int& y);

    // Gives `window` the keyboard (no click).
    void focus(const std::string& window);
    // Screen coordinates.
    void click(int x, int y);
    void type(const std::string& text);
    void key(const std::string& name);  // xdotool key names: Return, Tab, ...

    // Saved as `png` and read back.
    Screenshot shoot(const std::string& png);

  private:
    support::RunResult xdotool(std::vector<std::string> args);
    std::unique_ptr<support::Background> server_;
    int width_ = 0;
    int height_ = 0;
    std::string name_;
    std::string why_;
};

}  // namespace windows_test
