// SPDX-License-Identifier: Apache-2.0
#include "frontends/control/win32/form_window.h"
#include "ui/win32/window.h"

namespace frontends::win32 {

namespace {

constexpr DWORD kFixedFrame = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

}  // namespace

FormWindow::~FormWindow() {
    if (window_ != nullptr) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

bool FormWindow::create(HINSTANCE instance, const wchar_t* className, std::string_view title,
                        int clientWidthTwips, int clientHeightTwips) {
    if (!ui::win32::registerWindowClass(instance, className, procedure))
        return false;
    const int dpi = ui::win32::dpiOf(nullptr);
    RECT frame{0, 0, ui::win32::twipsToPixels(clientWidthTwips, dpi),
               ui::win32::twipsToPixels(clientHeightTwips, dpi)};
    AdjustWindowRectEx(&frame, kFixedFrame, FALSE, 0);
    CreateWindowExW(WS_EX_CONTROLPARENT, className, ui::win32::widen(title).c_str(),
                    kFixedFrame | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                    frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                    this);
    return window_ != nullptr;
}

int FormWindow::run(int show) {
    ShowWindow(window_, show);
    UpdateWindow(window_);
    // The keyboard focus starts in the first control that takes it.
    if (HWND first = tabOrder_.next(nullptr))
        SetFocus(first);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window_ != nullptr &&
            ui::win32::handleDialogKeys(window_, message, tabOrder_, buttons_))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

LRESULT FormWindow::handle(UINT message, WPARAM w, LPARAM l) {
    return defaultHandling(message, w, l);
}

LRESULT FormWindow::defaultHandling(UINT message, WPARAM w, LPARAM l) {
    if (message == WM_DESTROY) {
        window_ = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    if (message == WM_ACTIVATE && focusKeeper_.activate(window_, w, tabOrder_))
        return 0;
    return DefWindowProcW(window_, message, w, l);
}

LRESULT CALLBACK FormWindow::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
    }
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(window, message, w, l);
    return self->handle(message, w, l);
}

bool showHelpIfAsked(const wchar_t* commandLine, std::string_view usage, const wchar_t* title) {
    // The words of the command line, split at blanks (no quoting is needed
    // to find these three).
    std::wstring_view rest = commandLine != nullptr ? commandLine : L"";
    bool asked = false;
    while (!rest.empty() && !asked) {
        const auto start = rest.find_first_not_of(L" \t");
        if (start == std::wstring_view::npos)
            break;
        rest.remove_prefix(start);
        const auto word = rest.substr(0, rest.find_first_of(L" \t"));
        asked = word == L"--help" || word == L"-h" || word == L"/?";
        rest.remove_prefix(word.size());
    }
    if (asked)
        MessageBoxW(nullptr, ui::win32::widen(usage).c_str(), title, MB_OK | MB_ICONINFORMATION);
    return asked;
}

}  // namespace frontends::win32
