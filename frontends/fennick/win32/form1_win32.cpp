// SPDX-License-Identifier: Apache-2.0
#include <windows.h>

#include "frontends/fennick/win32/form1.h"
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>

#include "ui/win32/colour_button.h"
#include "ui/win32/window.h"

namespace fennick::win32 {

namespace {

const wchar_t kWindowClass[] = L"FennickForm1";
constexpr int kAddressId = 100;
constexpr int kFirstComboId = 110;  // + the combo's place in combos()
constexpr int kFirstLabelId = 120;
constexpr UINT_PTR kOkTipId = 1;
// A drop-down combo box is created with the height of its open list.
constexpr int kListHeightTwips = 3000;

ui::TwipsRect twips(const ui::TwipsRect& r, int extraHeight = 0) {
    return {r.left, r.top, r.width, r.height + extraHeight};
}

// The labels end where their field begins. When the system's font is wider
// than the one the layout was drawn with (a larger DPI rounds the other
// way), a label grows to the left so its caption stays on one line, as in
// the Qt view.
void growToTheLeft(HWND label) {
    const std::wstring caption = ui::win32::windowText(label);
    HDC dc = GetDC(label);
    if (dc == nullptr)
        return;
    auto font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font);
    SIZE needed{};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &needed);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    RECT box;
    GetWindowRect(label, &box);
    MapWindowPoints(nullptr, GetParent(label), reinterpret_cast<POINT*>(&box), 2);
    const int width = box.right - box.left;
    if (needed.cx + 2 > width) {
        const int left = std::max(0L, box.right - needed.cx - 2);
        MoveWindow(label, left, box.top, box.right - left, box.bottom - box.top, FALSE);
    }
}

}  // namespace

Form1::Form1(HINSTANCE instance) {
    if (create(instance, kWindowClass, kTitle, kClientWidth, kClientHeight))
        buildControls();
}

TTTOOLINFOW Form1::okTool() const {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window();
    tool.uId = kOkTipId;
    return tool;
}

void Form1::buildControls() {
    HWND form = window();
    int labelId = kFirstLabelId;
    for (const ui::ControlSpec& label : labels())
        growToTheLeft(ui::win32::createChild(form, L"STATIC", ui::win32::widen(label.caption),
                                             WS_VISIBLE | SS_RIGHT, labelId++, twips(label.place)));
    ip_ = ui::win32::createChild(form, L"EDIT", L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                                 kAddressId, twips(kAddressPlace), WS_EX_CLIENTEDGE);
    int comboId = kFirstComboId;
    for (const ComboSpec& spec : combos()) {
        HWND combo = ui::win32::createChild(form, L"COMBOBOX", L"",
                                            WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN,
                                            comboId++, twips(spec.place, kListHeightTwips));
        for (const char* item : spec.items)
            SendMessageW(combo, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(ui::win32::widen(item).c_str()));
        // The initial text is one of the items: selecting it sets the text,
        // and the arrow keys start from there.
        const std::wstring initial = ui::win32::widen(spec.initialText);
        SendMessageW(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(initial.c_str()));
        SetWindowTextW(combo, initial.c_str());
        combos_[spec.field] = combo;
    }
    ok_ = ui::win32::createColourButton(form, IDOK, ui::win32::widen(kOkButton.caption),
                                        twips(kOkButton.place),
                                        WS_VISIBLE | WS_TABSTOP | WS_DISABLED);
    HWND exit = ui::win32::createChild(form, L"BUTTON", ui::win32::widen(kExitButton.caption),
                                       WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL,
                                       twips(kExitButton.place));
    std::vector<HWND> order{ip_};
    for (const ComboSpec& spec : combos()) order.push_back(combos_[spec.field]);
    order.push_back(ok_);
    order.push_back(exit);
    tabOrder().set(std::move(order));
    // OK is the default button, Exit the cancel button.
    setDialogButtons({ok_, exit});

    tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
    // The tip belongs to OK's rectangle of the window, not to the button:
    // a disabled button (OK after every answer) gets no mouse messages, its
    // parent does.
    TTTOOLINFOW tool = okTool();
    tool.uFlags = TTF_SUBCLASS;
    GetWindowRect(ok_, &tool.rect);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&tool.rect), 2);
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

LRESULT Form1::handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_COMMAND:
            command(LOWORD(w), HIWORD(w));
            return 0;
        case WM_DRAWITEM:
            if (ui::win32::drawColourButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(l)))
                return TRUE;
            break;
        case WM_CLOSE:
            logic_.exitPressed();
            return 0;
        default:
            break;
    }
    return defaultHandling(message, w, l);
}

void Form1::command(int id, int code) {
    if (id == kAddressId) {
        if (code == EN_CHANGE)
            logic_.addressChanged();
    } else if (id >= kFirstComboId && id < kFirstComboId + static_cast<int>(combos().size())) {
        // A choice from the list (mouse or arrow keys); typing is no pick.
        if (code == CBN_SELCHANGE)
            logic_.itemPicked();
    } else if (id == IDOK && code == BN_CLICKED) {
        logic_.okPressed();  // Enter comes here too; nothing while OK is disabled
    } else if (id == IDCANCEL && code == BN_CLICKED) {
        logic_.exitPressed();
    }
}

std::string Form1::text(Field field) const {
    HWND control = field == Field::Address ? ip_ : combos_.at(field);
    return ui::win32::narrow(ui::win32::windowText(control));
}

void Form1::setOkEnabled(bool enabled) {
    tabOrder().enable(ok_, enabled);
}

void Form1::showOkColour(const ui::Colour& colour, std::string_view why) {
    ui::win32::setButtonColour(ok_, colour);
    std::wstring note = ui::win32::widen(why);
    TTTOOLINFOW tool = okTool();
    tool.lpszText = note.data();
    SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Form1::closeWindow() {
    DestroyWindow(window());
}

}  // namespace fennick::win32
