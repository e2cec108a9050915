// SPDX-License-Identifier: Apache-2.0
// The Zorrel window on Win32: a thin view over Form1Logic. Timer1 is a
// Win32 timer of the window, and so is the pause of a trivial answer: both
// arrive as WM_TIMER in the one message loop, so no handler ever runs
// inside another.
#pragma once

#include <windows.h>

#include "frontends/control/win32/form_window.h"
#include "frontends/zorrel/form1_logic.h"

namespace zorrel::win32 {

class Form1 : public frontends::win32::FormWindow, private Form1View {
  public:
    explicit Form1(HINSTANCE instance);
    // Made once the window is there: the logic's load sets the status line.
    bool ready() const { return logic_ != nullptr; }

  private:
    LRESULT handle(UINT message, WPARAM w, LPARAM l) override;
    void buildControls();

    // Form1View
    void setStartServerEnabled(bool enabled) override;
    void setExitServerEnabled(bool enabled) override;
    void showInfo(std::string_view text) override;
    void startPollTimer(std::chrono::milliseconds interval) override;
    void stopPollTimer() override;
    void startPause(std::chrono::milliseconds duration) override;
    void stopPause() override;

    HWND startServer_ = nullptr;
    HWND exitServer_ = nullptr;
    HWND info_ = nullptr;
    std::unique_ptr<Form1Logic> logic_;
};

}  // namespace zorrel::win32
