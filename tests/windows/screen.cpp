#include "tests/windows/screen.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <thread>

namespace windows_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

bool displayTaken(int number) {
    return std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock") ||
           std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number));
}

}  // namespace

VirtualScreen::VirtualScreen(int firstDisplay) {
    for (int number = firstDisplay; number < firstDisplay + 10 && display_.empty(); ++number) {
        if (displayTaken(number))
            continue;
        const std::string display = ":" + std::to_string(number);
        server_ = std::make_unique<support::Background>(std::vector<std::string>{
            "/usr/bin/Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        setenv("DISPLAY", display.c_str(), 1);
        // Up once xdotool can ask it for its size.
        for (auto until = Clock::now() + 30s; Clock::now() < until && server_->running();) {
            if (support::run({"/usr/bin/xdotool", "getdisplaygeometry"}).status == 0) {
                display_ = display;
                break;
            }
            std::this_thread::sleep_for(100ms);
        }
        if (display_.empty())
            server_.reset();
    }
    if (display_.empty())
        failure_ = "no Xvfb display could be started from :" + std::to_string(firstDisplay);
}

VirtualScreen::~VirtualScreen() {
    server_.reset();
}

support::RunResult VirtualScreen::xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "/usr/bin/xdotool");
    return support::run(args);
}

std::string VirtualScreen::waitForWindow(const std::string& title,
                                         std::chrono::milliseconds timeout) {
    for (auto until = Clock::now() + timeout; Clock::now() < until;) {
        support::RunResult r = xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"});
        std::istringstream ids(r.out);
        std::string id;
        if (r.status == 0 && (ids >> id))
            return id;
        std::this_thread::sleep_for(250ms);
    }
    return {};
}

ScreenPoint VirtualScreen::origin(const std::string& window) {
    support::RunResult r = xdotool({"getwindowgeometry", "--shell", window});
    ScreenPoint point;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("X=", 0) == 0)
            point.x = std::atoi(line.c_str() + 2);
        else if (line.rfind("Y=", 0) == 0)
            point.y = std::atoi(line.c_str() + 2);
    }
    return point;
}

bool VirtualScreen::click(const std::string& window, int x, int y) {
    const ScreenPoint at = origin(window);
    return xdotool({"mousemove", "--sync", std::to_string(at.x + x), std::to_string(at.y + y),
                    "click", "1"})
               .status == 0;
}

bool VirtualScreen::type(const std::string& text) {
    return xdotool({"type", "--delay", "30", text}).status == 0;
}

bool VirtualScreen::key(const std::string& names) {
    std::vector<std::string> args{"key", "--delay", "30"};
    std::istringstream words(names);
    for (std::string name; words >> name;) args.push_back(name);
    return xdotool(args).status == 0;
}

bool VirtualScreen::screenshot(const std::string& path) {
    return support::run({"/usr/bin/import", "-window", "root", path}).status == 0;
}

int VirtualScreen::pixelsOf(const std::string& window, int x, int y, int width, int height,
                            const ui::Colour& colour) {
    const std::string path = support::makeTempDir("screen") + "/shot.png";
    if (!screenshot(path))
        return -1;
    const ScreenPoint at = origin(window);
    const std::string crop = std::to_string(width) + "x" + std::to_string(height) + "+" +
                             std::to_string(at.x + x) + "+" + std::to_string(at.y + y);
    // One line per colour: "  count: (  r,  g,  b) #RRGGBB ...".
    support::RunResult r = support::run(
        {"/usr/bin/convert", path, "-crop", crop, "+repage", "-format", "%c", "histogram:info:-"});
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02X%02X%02X", colour.red, colour.green, colour.blue);
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find(hex) != std::string::npos)
            return std::atoi(line.c_str());
    }
    return 0;
}

}  // namespace windows_test
