// SPDX-License-Identifier: Apache-2.0
#include <algorithm>

#include "ui/win32/focus.h"

namespace ui::win32 {

namespace {

bool canFocus(HWND control) {
    return control != nullptr && IsWindowEnabled(control) && IsWindowVisible(control);
}

bool isOn(HWND control, HWND focus) {
    return focus != nullptr && (focus == control || IsChild(control, focus));
}

bool isPushButton(HWND control) {
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    if (lstrcmpiW(name, L"Button") != 0)
        return false;
    const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW;
}

bool isEditBox(HWND control) {
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    return lstrcmpiW(name, L"Edit") == 0;
}

// What the focused control asks of `message`.
LRESULT dialogCode(HWND focus, MSG& message) {
    return focus != nullptr ? SendMessageW(focus, WM_GETDLGCODE, message.wParam,
                                           reinterpret_cast<LPARAM>(&message))
                            : 0;
}

void press(HWND button) {
    if (canFocus(button))
        SendMessageW(button, BM_CLICK, 0, 0);
}

}  // namespace

HWND TabOrder::next(HWND from, bool backwards) const {
    const auto count = static_cast<std::ptrdiff_t>(controls_.size());
    if (count == 0)
        return nullptr;
    auto at = std::find(controls_.begin(), controls_.end(), from);
    std::ptrdiff_t start = at == controls_.end() ? (backwards ? 0 : -1) : at - controls_.begin();
    for (std::ptrdiff_t step = 1; step <= count; ++step) {
        const std::ptrdiff_t i =
            ((backwards ? start - step : start + step) % count + count) % count;
        HWND candidate = controls_[static_cast<std::size_t>(i)];
        if (candidate != from && canFocus(candidate))
            return candidate;
    }
    return nullptr;
}

HWND TabOrder::frameOf(HWND control) const {
    return GetAncestor(control, GA_ROOT);
}

void TabOrder::handFocusOn(HWND control) const {
    if (!isOn(control, GetFocus()))
        return;
    HWND next = this->next(control);
    SetFocus(next != nullptr ? next : frameOf(control));
}

void TabOrder::enable(HWND control, bool enabled) const {
    if (!enabled)
        handFocusOn(control);
    EnableWindow(control, enabled ? TRUE : FALSE);
    if (enabled && GetFocus() == frameOf(control) && IsWindowVisible(control) &&
        std::find(controls_.begin(), controls_.end(), control) != controls_.end())
        SetFocus(control);
}

void TabOrder::show(HWND control, bool shown) const {
    if (!shown)
        handFocusOn(control);
    ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
    if (shown && GetFocus() == frameOf(control) && IsWindowEnabled(control) &&
        std::find(controls_.begin(), controls_.end(), control) != controls_.end())
        SetFocus(control);
}

void TabOrder::focusNext(HWND from, bool backwards) const {
    HWND next = this->next(from, backwards);
    if (next == nullptr)
        return;
    SetFocus(next);
    if (isEditBox(next))
        SendMessageW(next, EM_SETSEL, 0, -1);
}

bool FocusKeeper::activate(HWND window, WPARAM w, const TabOrder& order) {
    if (LOWORD(w) == WA_INACTIVE) {
        HWND focus = GetFocus();
        saved_ = focus != nullptr && IsChild(window, focus) ? focus : nullptr;
        return false;
    }
    if (IsIconic(window))
        return false;
    HWND target = canFocus(saved_) && IsChild(window, saved_) ? saved_ : order.next(nullptr);
    if (target == nullptr)
        return false;
    SetFocus(target);
    return true;
}

bool handleDialogKeys(HWND window, MSG& message, const TabOrder& order,
                      const DialogButtons& buttons) {
    if (message.hwnd != window && !IsChild(window, message.hwnd))
        return false;
    if (message.message == WM_KEYDOWN || message.message == WM_CHAR) {
        const bool tab = message.wParam == VK_TAB;
        const bool enter = message.wParam == VK_RETURN;
        const bool escape = message.wParam == VK_ESCAPE;
        if (tab || enter || escape) {
            HWND focus = GetFocus();
            const LRESULT wants = dialogCode(focus, message);
            if ((wants & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) != 0 ||
                (tab && (wants & DLGC_WANTTAB) != 0))
                return false;  // the control's own key
            if (message.message == WM_CHAR)
                return true;  // no beep for a key already acted on
            if (tab) {
                // The control that has the focus, or the one it sits in.
                HWND from = focus;
                while (from != nullptr && GetParent(from) != window) from = GetParent(from);
                order.focusNext(from, (GetKeyState(VK_SHIFT) & 0x8000) != 0);
            } else if (enter) {
                press(focus != nullptr && isPushButton(focus) ? focus : buttons.defaultButton);
            } else {
                press(buttons.cancelButton);
            }
            return true;
        }
    }
    return IsDialogMessageW(window, &message) != 0;
}

}  // namespace ui::win32
