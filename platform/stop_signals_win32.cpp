// SPDX-License-Identifier: Apache-2.0
#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "platform/stop_signals.h"

namespace platform {

namespace {

std::atomic<int> firstSignal{0};

BOOL WINAPI onConsoleEvent(DWORD event) {
    int signal = event == CTRL_C_EVENT ? kStopInterrupt : kStopTerminate;
    int none = 0;
    if (!firstSignal.compare_exchange_strong(none, signal))
        std::_Exit(128 + signal);
    // Handled: the run stops by itself. For a console that closes, Windows
    // ends the process when this returns after a while in any case.
    return TRUE;
}

}  // namespace

void catchStopSignals() {
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

int stopSignal() {
    return firstSignal.load();
}

void requestStop(int signal) {
    firstSignal.store(signal);
}

}  // namespace platform
