// SPDX-License-Identifier: Apache-2.0
// Small Win32 helpers the Windows views share: window classes, controls
// placed in twips, the Verdana fonts, texts crossing as 8-bit bytes.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "ui/colour.h"
#include "ui/twips.h"

namespace ui::win32 {

// The program's icon, resource 1 (cmake/WindowsResources.cmake), at the
// system's large or small icon size; the stock application icon without it.
HICON programIcon(HINSTANCE instance, bool small);

// Registers a window class of `name` with the arrow cursor, the dialog
// background and the program's icon; false (with the error in GetLastError)
// when that fails for another reason than an existing class of that name.
bool registerWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure);

// The dots per inch `window` is shown at (96 at 100 %); the system's for
// null. The windows are declared per-monitor DPI aware (app.manifest), so
// they scale their twips themselves and stay sharp.
int dpiOf(HWND window);
// Twips at `dpi`, rounded to the nearest pixel, and back.
int twipsToPixels(int twips, int dpi);
int pixelsToTwips(int pixels, int dpi);

// A child control at `at`, scaled to the parent's DPI; `id` is its control
// id (WM_COMMAND, WM_NOTIFY). Sizes below 0 are taken as 0.
HWND createChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                 int id, const ui::TwipsRect& at, DWORD exStyle = 0);

// Moves and sizes `control` to `at` at its parent's DPI, clamping negative
// sizes at 0.
void place(HWND control, const ui::TwipsRect& at);

// A font owned for the window's life: Verdana (or what the system puts in
// its place) at `points` on a screen of `dpi` (the system's when 0).
class Font {
  public:
    Font(double points, bool bold, const wchar_t* face = L"Verdana", int dpi = 0);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    HFONT handle() const { return font_; }
    // Sets the font of `control` and redraws it.
    void applyTo(HWND control) const;

  private:
    HFONT font_ = nullptr;
};

// The font the system uses for dialog controls, at the system's DPI.
HFONT defaultGuiFont();

// Texts between the suite's 8-bit bytes (the library, the unit, the report
// file) and the controls, through the system code page (CP_ACP): the one
// pair every Win32 view uses for every such text. File names never go
// through it; they stay UTF-16 from the dialog to the file call.
std::wstring widen(std::string_view bytes);
std::string narrow(std::wstring_view text);

std::wstring windowText(HWND window);

// The COLORREF of `colour`; the button face is the system's.
COLORREF toColorRef(const Colour& colour);

// The folder of the running program, ending in a backslash.
std::wstring programFolder();

}  // namespace ui::win32
