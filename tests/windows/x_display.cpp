// SPDX-License-Identifier: Apache-2.0
#include "tests/windows/x_display.h"

#include <cstdlib>
#include <sstream>
#include <thread>

namespace windows_test {

using namespace std::chrono_literals;

Pixel Screenshot::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height)
        return {-1, -1, -1};
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

XDisplay::XDisplay(int width, int height) : width_(width), height_(height) {
    // -displayfd: Xvfb picks a free display number and writes it to stdout.
    server_ = std::make_unique<support::Background>(std::vector<std::string>{
        "/usr/bin/Xvfb", "-displayfd", "1", "-screen", "0",
        std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp"});
    if (!server_->waitForOutput("\n", 30s)) {
        why_ = "Xvfb did not start: " + server_->stop().err;
        return;
    }
    std::string number = server_->outputSoFar();
    number = number.substr(0, number.find('\n'));
    name_ = ":" + number;
    setenv("DISPLAY", name_.c_str(), 1);
}

support::RunResult XDisplay::xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "/usr/bin/xdotool");
    support::RunOptions options;
    options.timeout = 20s;
    return support::run(args, options);
}

std::optional<std::string> XDisplay::findWindow(const std::string& title,
                                                std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        support::RunResult r = xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"});
        std::istringstream ids(r.out);
        std::string id;
        if (r.status == 0 && std::getline(ids, id) && !id.empty())
            return id;
        std::this_thread::sleep_for(250ms);
    }
    return std::nullopt;
}

std::optional<std::string> XDisplay::findOtherWindow(const std::string& title,
                                                     std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        support::RunResult r = xdotool({"search", "--onlyvisible", "--name", "."});
        std::istringstream ids(r.out);
        for (std::string id; std::getline(ids, id);) {
            support::RunResult name = xdotool({"getwindowname", id});
            if (name.status == 0 && !name.out.empty() && name.out != title + "\n")
                return id;
        }
        std::this_thread::sleep_for(250ms);
    }
    return std::nullopt;
}

bool XDisplay::windowOrigin(const std::string& window, int& x, int& y) {
    support::RunResult r = xdotool({"getwindowgeometry", "--shell", window});
    std::istringstream lines(r.out);
    bool gotX = false, gotY = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("X=", 0) == 0)
            gotX = (x = std::atoi(line.c_str() + 2), true);
        if (line.rfind("Y=", 0) == 0)
            gotY = (y = std::atoi(line.c_str() + 2), true);
    }
    return gotX && gotY;
}

void XDisplay::focus(const std::string& window) {
    xdotool({"windowfocus", "--sync", window});
}

void XDisplay::click(int x, int y) {
    xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y)});
    xdotool({"click", "1"});
}

void XDisplay::type(const std::string& text) {
    xdotool({"type", "--delay", "30", text});
}

void XDisplay::key(const std::string& name) {
    xdotool({"key", name});
}

Screenshot XDisplay::shoot(const std::string& png) {
    Screenshot shot;
    support::RunOptions options;
    options.timeout = 30s;
    if (support::run({"/usr/bin/import", "-window", "root", png}, options).status != 0)
        return shot;
    const std::string raw = png + ".rgb";
    if (support::run({"/usr/bin/convert", png, "-depth", "8", "rgb:" + raw}, options).status != 0)
        return shot;
    const std::string bytes = support::readFile(raw);
    if (bytes.size() != static_cast<std::size_t>(width_) * height_ * 3u)
        return shot;
    shot.width = width_;
    shot.height = height_;
    shot.rgb.assign(bytes.begin(), bytes.end());
    return shot;
}

}  // namespace windows_test
