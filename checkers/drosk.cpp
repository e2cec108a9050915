// SPDX-License-Identifier: Apache-2.0
#include "checkers/drosk.h"

#include <thread>

#include "checkers/startup.h"

namespace checkers {

namespace {

class Watcher {
public:
    Watcher(const DroskSettings& settings, CheckerTarget target, std::FILE* out)
        : settings_(settings), target_(std::move(target)), out_(out) {}

    // One connection attempt on the current socket, then its close.
    void check() {
        if (!connectToUnit(target_.socket, target_.address)) {
            reportConnectFailure(out_, target_.addressText);
            counter_ = 0;
        } else {
            Exchange exchange{"Drosk", target_.addressText, settings_.replyTimeout};
            exchangeStatus(target_.socket, target_.buffer, out_, exchange,
                           [this] { std::fprintf(out_, "%d: ", counter_++); });
        }
        std::fflush(out_);
        target_.socket.close();
    }

    // A socket may be used for one connection only: make the next one,
    // waiting a delay between tries while the system has none to give.
    void renewSocket() {
        for (;;) {
            target_.socket = platform::createTcpSocket();
            if (target_.socket) return;
            std::fprintf(out_, "Error creating socket at %s", timeStamp().c_str());
            std::fflush(out_);
            pause();
        }
    }

    void pause() { settings_.wait(std::chrono::seconds(settings_.delaySeconds)); }

private:
    const DroskSettings& settings_;
    CheckerTarget target_;
    std::FILE* out_;
    int counter_ = 0;
};

}  // namespace

int runDrosk(const DroskSettings& given, std::FILE* out) {
    DroskSettings settings = given;
    if (!settings.wait) {
        settings.wait = [](std::chrono::seconds s) { std::this_thread::sleep_for(s); };
    }
    if (settings.delaySeconds < 1) settings.delaySeconds = 1;
    std::optional<CheckerTarget> target = startChecker(settings.address, out, kDroskStartupFailure);
    if (!target) {
        std::fflush(out);
        return 1;
    }
    Watcher watcher(settings, std::move(*target), out);
    for (long attempt = 1;; ++attempt) {
        watcher.check();
        if (settings.maxAttempts > 0 && attempt >= settings.maxAttempts) return 0;
        watcher.pause();
        watcher.renewSocket();
    }
}

}  // namespace checkers
