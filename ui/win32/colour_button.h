// SPDX-License-Identifier: Apache-2.0
// An owner-drawn Win32 push button that shows an exact background colour:
// the common controls ignore a button's colour, so the parent hands the
// button's WM_DRAWITEM to drawColourButton. The colour lives on the button
// itself (a window property), so any number of them need no table.
#pragma once

#include <windows.h>

#include <string>

#include "ui/colour.h"
#include "ui/win32/window.h"

namespace ui::win32 {

HWND createColourButton(HWND parent, int id, const std::wstring& caption, const ui::TwipsRect& at,
                        DWORD style = WS_VISIBLE | WS_TABSTOP);

// Stores the colour and redraws the button.
void setButtonColour(HWND button, const Colour& colour);
Colour buttonColour(HWND button);

// Paints a colour button for its parent's WM_DRAWITEM; false when the item is
// not a button (the parent then draws it itself).
bool drawColourButton(const DRAWITEMSTRUCT& item);

}  // namespace ui::win32
