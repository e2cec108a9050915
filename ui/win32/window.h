// Small Win32 helpers the Windows views share: window classes, controls
// placed in twips, the Verdana fonts, texts crossing as 8-bit bytes.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "ui/colour.h"

namespace ui::win32 {

// Registers a window class of `name` with the arrow cursor and the dialog
// background; false (with the error in GetLastError) when that fails for
// another reason than an existing class of that name.
bool registerWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure,
                         HICON icon = nullptr);

// A rectangle in twips, as the windows are designed.
struct Twips {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// A child control at `at`; `id` is its control id (WM_COMMAND, WM_NOTIFY).
// Sizes below 0 are taken as 0.
HWND createChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                 int id, const Twips& at, DWORD exStyle = 0);

// Moves and sizes `control` to `at`, clamping negative sizes at 0.
void place(HWND control, const Twips& at);

// A font owned for the window's life: Verdana (or what the system puts in
// its place) at `points` on a 96 dots-per-inch screen.
class Font {
  public:
    Font(double points, bool bold, const wchar_t* face = L"Verdana");
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    HFONT handle() const { return font_; }
    // Sets the font of `control` and redraws it.
    void applyTo(HWND control) const;

  private:
    HFONT font_ = nullptr;
};

// The font the system uses for dialog controls.
HFONT defaultGuiFont();

// The windows' texts are 8-bit bytes widened one to one (Latin-1), so a
// value shown goes back byte for byte.
std::wstring widen(std::string_view bytes);
std::string narrow(std::wstring_view text);

std::wstring windowText(HWND window);

// The COLORREF of `colour`; the button face is the system's.
COLORREF toColorRef(const Colour& colour);

// The folder of the running program, ending in a backslash.
std::wstring programFolder();

}  // namespace ui::win32
