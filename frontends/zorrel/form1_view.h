// SPDX-License-Identifier: Apache-2.0
// What the Zorrel window logic needs of a window toolkit: its two buttons,
// the status line and two timers, the poll timer and the one-shot pause of
// a trivial answer. The Qt and Win32 views implement it; their timers call
// back Form1Logic::pollTick and Form1Logic::pauseEnded.
#pragma once

#include <chrono>
#include <string_view>

namespace zorrel {

class Form1View {
  public:
    virtual ~Form1View() = default;
    virtual void setStartServerEnabled(bool enabled) = 0;
    virtual void setExitServerEnabled(bool enabled) = 0;
    // The status line, `Info`.
    virtual void showInfo(std::string_view text) = 0;
    // The poll timer, `Timer1`: ticks every `interval` until stopped.
    virtual void startPollTimer(std::chrono::milliseconds interval) = 0;
    virtual void stopPollTimer() = 0;
    // One tick after `duration` (a new start replaces a pending one).
    virtual void startPause(std::chrono::milliseconds duration) = 0;
    virtual void stopPause() = 0;
};

}  // namespace zorrel
