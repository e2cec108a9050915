// SPDX-License-Identifier: Apache-2.0
#include "platform/stop_signals.h"

#include <unistd.h>

#include <atomic>
#include <csignal>

namespace platform {

namespace {

std::atomic<int> firstSignal{0};

extern "C" void onStopSignal(int signal) {
    int none = 0;
    if (!firstSignal.compare_exchange_strong(none, signal))
        ::_exit(128 + signal);  // the second signal: at once, nothing flushed
}

}  // namespace

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // Waits in progress go on to their own deadlines rather than failing
    // with EINTR half way through a unit.
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

int stopSignal() {
    return firstSignal.load();
}

void requestStop(int signal) {
    firstSignal.store(signal);
}

}  // namespace platform
