// SPDX-License-Identifier: Apache-2.0
// The frame of the small Win32 windows: a top-level window whose messages go
// to a C++ object, and the message loop with the suite's dialog keys
// (ui/win32/focus.h: Tab in the window's tab order, Enter for a focused
// button or the default one, Escape for the cancel button) and focus rules.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "ui/win32/focus.h"

namespace frontends::win32 {

class FormWindow {
  public:
    virtual ~FormWindow();
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    HWND window() const { return window_; }

    // Shows the window with the keyboard focus in its first tab stop and
    // handles its messages until it is destroyed; the program's exit status.
    int run(int show);

  protected:
    FormWindow() = default;

    // Creates the window, fixed in size, with a client area of the given
    // twips; false when Windows refuses.
    bool create(HINSTANCE instance, const wchar_t* className, std::string_view title,
                int clientWidthTwips, int clientHeightTwips);

    // Every message of the window; the default is Windows' own handling.
    // WM_DESTROY ends the message loop.
    virtual LRESULT handle(UINT message, WPARAM w, LPARAM l);
    // Windows' own handling, with the focus kept across deactivation.
    LRESULT defaultHandling(UINT message, WPARAM w, LPARAM l);

    // Set by the view once its controls are there.
    ui::win32::TabOrder& tabOrder() { return tabOrder_; }
    const ui::win32::TabOrder& tabOrder() const { return tabOrder_; }
    void setDialogButtons(const ui::win32::DialogButtons& buttons) { buttons_ = buttons; }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);

    HWND window_ = nullptr;
    ui::win32::TabOrder tabOrder_;
    ui::win32::FocusKeeper focusKeeper_;
    ui::win32::DialogButtons buttons_;
};

// Shows `usage` in a message box when the command line asks for help (a
// window program has no console); true when it did.
bool showHelpIfAsked(const wchar_t* commandLine, std::string_view usage, const wchar_t* title);

}  // namespace frontends::win32
