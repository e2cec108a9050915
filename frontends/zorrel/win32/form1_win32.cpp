// SPDX-License-Identifier: Apache-2.0
#include "frontends/zorrel/win32/form1.h"
#include "ui/win32/window.h"

namespace zorrel::win32 {

namespace {

const wchar_t kWindowClass[] = L"ZorrelForm1";
constexpr int kStartServerId = 101;
constexpr int kExitServerId = 102;
constexpr int kInfoId = 103;
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT_PTR kPauseTimer = 2;

UINT milliseconds(std::chrono::milliseconds duration) {
    return static_cast<UINT>(duration.count());
}

}  // namespace

Form1::Form1(HINSTANCE instance) {
    if (!create(instance, kWindowClass, kTitle, kClientWidth, kClientHeight))
        return;
    buildControls();
    logic_ = std::make_unique<Form1Logic>(static_cast<Form1View&>(*this));
}

void Form1::buildControls() {
    HWND form = window();
    startServer_ = ui::win32::createChild(form, L"BUTTON", ui::win32::widen(kStartServer.caption),
                                          WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kStartServerId,
                                          kStartServer.place);
    exitServer_ = ui::win32::createChild(form, L"BUTTON", ui::win32::widen(kExitServer.caption),
                                         WS_VISIBLE | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON,
                                         kExitServerId, kExitServer.place);
    info_ = ui::win32::createChild(form, L"STATIC", L"", WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                   kInfoId, kInfo.place);
    tabOrder().set({startServer_, exitServer_});
}

LRESULT Form1::handle(UINT message, WPARAM w, LPARAM l) {
    if (!logic_)
        return defaultHandling(message, w, l);
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(w) == BN_CLICKED && LOWORD(w) == kStartServerId)
                logic_->startServerPressed();
            else if (HIWORD(w) == BN_CLICKED && LOWORD(w) == kExitServerId)
                logic_->exitServerPressed();
            return 0;
        case WM_TIMER:
            if (w == kTimer1) {
                logic_->pollTick();
            } else if (w == kPauseTimer) {
                KillTimer(window(), kPauseTimer);  // one tick only
                logic_->pauseEnded();
            }
            return 0;
        case WM_CLOSE:
            logic_->closing();
            DestroyWindow(window());
            return 0;
        default:
            return defaultHandling(message, w, l);
    }
}

void Form1::setStartServerEnabled(bool enabled) {
    tabOrder().enable(startServer_, enabled);
}

void Form1::setExitServerEnabled(bool enabled) {
    tabOrder().enable(exitServer_, enabled);
}

void Form1::showInfo(std::string_view text) {
    SetWindowTextW(info_, ui::win32::widen(text).c_str());
}

void Form1::startPollTimer(std::chrono::milliseconds interval) {
    SetTimer(window(), kTimer1, milliseconds(interval), nullptr);
}

void Form1::stopPollTimer() {
    KillTimer(window(), kTimer1);
}

void Form1::startPause(std::chrono::milliseconds duration) {
    SetTimer(window(), kPauseTimer, milliseconds(duration), nullptr);
}

void Form1::stopPause() {
    KillTimer(window(), kPauseTimer);
}

}  // namespace zorrel::win32
