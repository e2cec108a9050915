// SPDX-License-Identifier: Apache-2.0
#include <cstdint>

#include "ui/win32/colour_button.h"

namespace ui::win32 {

namespace {

// The colour as a window property: RGB in the low 24 bits, and bit 24 set so
// that a stored black is told from no property at all (the button face).
const wchar_t kColourProperty[] = L"ui.ColourButton.colour";
constexpr std::uintptr_t kSetBit = 1u << 24;

}  // namespace

HWND createColourButton(HWND parent, int id, const std::wstring& caption, const ui::TwipsRect& at,
                        DWORD style) {
    return createChild(parent, L"BUTTON", caption, style | BS_OWNERDRAW, id, at);
}

void setButtonColour(HWND button, const Colour& colour) {
    if (colour.buttonFace) {
        RemovePropW(button, kColourProperty);
    } else {
        const std::uintptr_t value = kSetBit | RGB(colour.red, colour.green, colour.blue);
        SetPropW(button, kColourProperty, reinterpret_cast<HANDLE>(value));
    }
    InvalidateRect(button, nullptr, TRUE);
}

Colour buttonColour(HWND button) {
    const auto value = reinterpret_cast<std::uintptr_t>(GetPropW(button, kColourProperty));
    if ((value & kSetBit) == 0)
        return kButtonFace;
    const auto rgb = static_cast<COLORREF>(value & 0xFFFFFF);
    return Colour{GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)};
}

bool drawColourButton(const DRAWITEMSTRUCT& item) {
    if (item.CtlType != ODT_BUTTON)
        return false;
    HDC dc = item.hDC;
    RECT face = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;

    HBRUSH brush = CreateSolidBrush(toColorRef(buttonColour(item.hwndItem)));
    FillRect(dc, &face, brush);
    DeleteObject(brush);
    DrawEdge(dc, &face, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

    const std::wstring caption = windowText(item.hwndItem);
    RECT text = face;
    if (pressed)
        OffsetRect(&text, 1, 1);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT) : GetSysColor(COLOR_BTNTEXT));
    auto font = reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
    HGDIOBJ previous = SelectObject(dc, font != nullptr ? font : defaultGuiFont());
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, previous);

    if ((item.itemState & ODS_FOCUS) != 0) {
        RECT focus = face;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
    return true;
}

}  // namespace ui::win32
