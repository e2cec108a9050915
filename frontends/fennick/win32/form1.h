// SPDX-License-Identifier: Apache-2.0
// The "Configure Port 2" window on Win32: a thin view over Form1Logic. The
// combo boxes are of the drop-down kind (a list item or any typed text), OK
// is the owner-drawn colour button of ui/win32 with the control id IDOK, so
// Enter presses it, and Exit is IDCANCEL, so Escape does.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <map>

#include "frontends/control/win32/form_window.h"
#include "frontends/fennick/form1_logic.h"

namespace fennick::win32 {

class Form1 : public frontends::win32::FormWindow, private Form1View {
  public:
    // IP is the first tab stop: the keyboard focus starts there.
    explicit Form1(HINSTANCE instance);

  private:
    LRESULT handle(UINT message, WPARAM w, LPARAM l) override;
    void buildControls();
    void command(int id, int code);
    TTTOOLINFOW okTool() const;

    // Form1View
    std::string text(Field field) const override;
    void setOkEnabled(bool enabled) override;
    void showOkColour(const ui::Colour& colour, std::string_view why) override;
    void closeWindow() override;

    HWND ip_ = nullptr;
    std::map<Field, HWND> combos_;
    HWND ok_ = nullptr;
    HWND tip_ = nullptr;  // OK's tool tip: why it is red
    Form1Logic logic_{*this};
};

}  // namespace fennick::win32
