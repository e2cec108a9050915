// SPDX-License-Identifier: Apache-2.0
// The keyboard rules the Win32 windows share, as a user of Windows expects
// them: Tab walks the window's own tab order (not the stacking order of the
// child windows, which the views choose for painting), the focus never stays
// on a control that is disabled or hidden, it comes back to the control it
// was on when the window is activated again, and Enter and Escape press the
// right button.
#pragma once

#include <windows.h>

#include <vector>

namespace ui::win32 {

class TabOrder {
  public:
    // The controls that can take the focus, in tab order.
    void set(std::vector<HWND> controls) { controls_ = std::move(controls); }
    const std::vector<HWND>& controls() const { return controls_; }

    // The next control after `from` (before it when `backwards`) that is
    // enabled and visible, wrapping round; null when there is none but
    // `from`. A control not in the order starts from the beginning.
    HWND next(HWND from, bool backwards = false) const;

    // Before `control` is disabled or hidden: when the focus is on it (or on
    // a child of it, such as a combo box's text field) it moves on to the
    // next control in tab order; with none left it goes to the window frame,
    // which keeps the keys working.
    void handFocusOn(HWND control) const;
    // EnableWindow and ShowWindow with the focus handed on first. A control
    // enabled or shown while the focus is on the frame takes it. Showing
    // never changes the stacking order, so it changes nothing else.
    void enable(HWND control, bool enabled) const;
    void show(HWND control, bool shown) const;

    // Moves the focus as Tab does; an edit box reached this way has its
    // text selected.
    void focusNext(HWND from, bool backwards) const;

  private:
    HWND frameOf(HWND control) const;
    std::vector<HWND> controls_;
};

// Remembers the focused control when the window is deactivated and gives
// the focus back to it on activation (or to the first control in tab order
// when it can no longer take it). For WM_ACTIVATE; true when it set the
// focus, so the window's default handling must not.
class FocusKeeper {
  public:
    bool activate(HWND window, WPARAM w, const TabOrder& order);

  private:
    HWND saved_ = nullptr;
};

struct DialogButtons {
    HWND defaultButton = nullptr;  // Enter, unless the focus is on another button
    HWND cancelButton = nullptr;   // Escape
};

// The dialog keys of a window that is not a dialog box: Tab and Shift+Tab in
// `order`; Enter on a focused push button presses that button, elsewhere the
// default button (when there is one and it is enabled); Escape the cancel
// button. A control that asks for a key itself (WM_GETDLGCODE) keeps it.
// Other keys go to IsDialogMessage. True when the message was taken.
bool handleDialogKeys(HWND window, MSG& message, const TabOrder& order,
                      const DialogButtons& buttons = {});

}  // namespace ui::win32
