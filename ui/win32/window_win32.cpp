#include <algorithm>
#include <cmath>
#include <vector>

#include "ui/win32/window.h"

namespace ui::win32 {

bool registerWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HICON icon) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    windowClass.hIcon = icon;
    windowClass.hIconSm = icon;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND createChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                 int id, const Twips& at, DWORD exStyle) {
    HWND control = CreateWindowExW(
        exStyle, className, text.c_str(), WS_CHILD | style, twipsToPixels(at.left),
        twipsToPixels(at.top), std::max(0, twipsToPixels(at.width)),
        std::max(0, twipsToPixels(at.height)), parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (control != nullptr)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(defaultGuiFont()), FALSE);
    return control;
}

void place(HWND control, const Twips& at) {
    MoveWindow(control, twipsToPixels(at.left), twipsToPixels(at.top),
               std::max(0, twipsToPixels(at.width)), std::max(0, twipsToPixels(at.height)), TRUE);
}

Font::Font(double points, bool bold, const wchar_t* face) {
    LOGFONTW description{};
    // Points to pixels at 96 dots per inch; negative asks for the character height.
    description.lfHeight = -static_cast<LONG>(std::lround(points * 96.0 / 72.0));
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
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

std::wstring widen(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (char c : bytes) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return out;
}

std::string narrow(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    // A character beyond Latin-1 cannot go to the unit as one byte: '?'.
    for (wchar_t c : text) out += c <= 0xFF ? static_cast<char>(c) : '?';
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
