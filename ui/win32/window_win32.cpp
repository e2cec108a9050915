// SPDX-License-Identifier: Apache-2.0
#include <algorithm>
#include <cmath>
#include <vector>

#include "ui/win32/window.h"

namespace ui::win32 {

HICON programIcon(HINSTANCE instance, bool small) {
    const int size = GetSystemMetrics(small ? SM_CXSMICON : SM_CXICON);
    auto* icon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    return icon != nullptr ? icon : LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
}

bool registerWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    windowClass.hIcon = programIcon(instance, false);
    windowClass.hIconSm = programIcon(instance, true);
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

int dpiOf(HWND window) {
    // GetDpiForWindow is there from Windows 10 on; found at run time.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (window != nullptr && forWindow != nullptr) {
        if (const UINT dpi = forWindow(window); dpi != 0)
            return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int twipsToPixels(int twips, int dpi) {
    return MulDiv(twips, dpi, 1440);
}

int pixelsToTwips(int pixels, int dpi) {
    return MulDiv(pixels, 1440, dpi);
}

HWND createChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                 int id, const ui::TwipsRect& at, DWORD exStyle) {
    const int dpi = dpiOf(parent);
    HWND control = CreateWindowExW(
        exStyle, className, text.c_str(), WS_CHILD | style, twipsToPixels(at.left, dpi),
        twipsToPixels(at.top, dpi), std::max(0, twipsToPixels(at.width, dpi)),
        std::max(0, twipsToPixels(at.height, dpi)), parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (control != nullptr)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(defaultGuiFont()), FALSE);
    return control;
}

void place(HWND control, const ui::TwipsRect& at) {
    const int dpi = dpiOf(GetParent(control));
    MoveWindow(control, twipsToPixels(at.left, dpi), twipsToPixels(at.top, dpi),
               std::max(0, twipsToPixels(at.width, dpi)),
               std::max(0, twipsToPixels(at.height, dpi)), TRUE);
}

Font::Font(double points, bool bold, const wchar_t* face, int dpi) {
    LOGFONTW description{};
    // Points to pixels; negative asks for the character height.
    const int dots = dpi > 0 ? dpi : dpiOf(nullptr);
    description.lfHeight = -static_cast<LONG>(std::lround(points * dots / 72.0));
    description.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(description.lfFaceName, face, LF_FACESIZE);
    font_ = CreateFontIndirectW(&description);
}

Font::~Font() {
    if (font_ != nullptr)
        DeleteObject(font_);
}

void Font::applyTo(HWND control) const {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
}

HFONT defaultGuiFont() {
    // The stock DEFAULT_GUI_FONT stays at its 96-DPI size; the message font
    // of the system's metrics is the one dialogs use, at the system's DPI.
    static const HFONT font = [] {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
            if (HFONT made = CreateFontIndirectW(&metrics.lfMessageFont))
                return made;
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }();
    return font;
}

std::wstring widen(std::string_view bytes) {
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    const int wide = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(std::max(wide, 0)), L'\0');
    if (wide > 0)
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, out.data(), wide);
    return out;
}

std::string narrow(std::wstring_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    // A character the code page cannot hold becomes the code page's default
    // character ('?'), as for any ANSI program.
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(std::max(bytes, 0)), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const int copied = GetWindowTextW(window, buffer.data(), length + 1);
    return std::wstring(buffer.data(), static_cast<std::size_t>(std::max(copied, 0)));
}

COLORREF toColorRef(const Colour& colour) {
    if (colour.buttonFace)
        return GetSysColor(COLOR_BTNFACE);
    return RGB(colour.red, colour.green, colour.blue);
}

std::wstring programFolder() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return L".\\";
        if (length < path.size()) {
            std::wstring full(path.data(), length);
            return full.substr(0, full.find_last_of(L"\\/") + 1);
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace ui::win32
