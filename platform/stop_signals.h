// SPDX-License-Identifier: Apache-2.0
// Asking a long run to stop: the first Ctrl-C (SIGINT) or SIGTERM only
// raises a flag that the run checks between its steps, so it can finish what
// is in flight and leave its record; a second one ends the process at once
// with the usual status of a process killed by that signal (128 + number).
// On Windows Ctrl-C counts as SIGINT and Ctrl-Break, closing the console or
// logging off as SIGTERM.
#pragma once

namespace platform {

inline constexpr int kStopInterrupt = 2;   // SIGINT
inline constexpr int kStopTerminate = 15;  // SIGTERM

// Installs the handlers; call once, early.
void catchStopSignals();

// 0 while nothing asked the run to stop, else the number of the first stop
// signal (kStopInterrupt or kStopTerminate).
int stopSignal();

// For tests: as if `signal` had arrived once.
void requestStop(int signal);

}  // namespace platform
