// SPDX-License-Identifier: Apache-2.0
// Waiting for SIGINT or SIGTERM in a program whose other threads serve
// (unitsim): the signals are blocked in every thread, and one waits for them.
#pragma once

#include <csignal>

namespace platform {

// The signals a service handles: reload, and the two that stop it.
inline constexpr int kHangUpSignal = SIGHUP;
inline constexpr int kInterruptSignal = SIGINT;
inline constexpr int kTerminateSignal = SIGTERM;

// Blocks SIGINT and SIGTERM in the calling thread and in every thread it
// starts from now on. Call before starting any thread.
void blockStopSignals();

// Waits until SIGINT or SIGTERM comes; returns its number.
int waitForStopSignal();

}  // namespace platform
