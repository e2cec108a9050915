// SPDX-License-Identifier: Apache-2.0
// The grid half of the Win32 view: a report-view list control whose cells
// are drawn in the logic's colours (custom draw), its header as row 0, and
// the value editor laid over a New Content cell.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>

#include "frontends/veltrin/win32/main_window.h"

namespace veltrin {

std::optional<GridKey> gridKey(WPARAM virtualKey) {
    const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    switch (virtualKey) {
        case VK_UP:
            return GridKey::Up;
        case VK_DOWN:
            return GridKey::Down;
        case VK_LEFT:
            return GridKey::Left;
        case VK_RIGHT:
            return GridKey::Right;
        case VK_PRIOR:
            return GridKey::PageUp;
        case VK_NEXT:
            return GridKey::PageDown;
        case VK_HOME:
            return control ? GridKey::FirstCell : GridKey::Home;
        case VK_END:
            return control ? GridKey::LastCell : GridKey::End;
        default:
            return std::nullopt;
    }
}

LRESULT Win32MainWindow::gridMessage(HWND grid, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_KEYDOWN:
            // The list control's own moves know rows only; the grid's keys
            // move the logic's current cell.
            if (const auto key = gridKey(w)) {
                if (const auto to = logic_.cellAfterKey(*key, pageRows()))
                    moveCurrentCell(to->row, to->column);
                return 0;
            }
            break;
        case WM_CHAR:
            return 0;  // no search by typing: it would move the rows under the editor
        case WM_SETFOCUS:
            // Tab into a grid that has no current cell enters its first.
            if ((GetKeyState(VK_TAB) & 0x8000) != 0 && logic_.currentRow() == 0) {
                LRESULT result = DefSubclassProc(grid, message, w, l);
                if (const auto to = logic_.cellAfterKey(GridKey::FirstCell, pageRows()))
                    moveCurrentCell(to->row, to->column);
                return result;
            }
            break;
        default:
            break;
    }
    LRESULT result = DefSubclassProc(grid, message, w, l);
    // Whatever moved the rows (scroll bar, wheel, a resize): the scroll step.
    switch (message) {
        case WM_VSCROLL:
        case WM_HSCROLL:
        case WM_MOUSEWHEEL:
        case WM_MOUSEHWHEEL:
        case WM_KEYDOWN:
        case WM_SIZE:
        case WM_WINDOWPOSCHANGED:
            checkScrolled();
            break;
        default:
            break;
    }
    return result;
}

void Win32MainWindow::checkScrolled() {
    HWND grid = control(Control::Grid);
    const int top = ListView_GetTopIndex(grid);
    const int left = GetScrollPos(grid, SB_HORZ);
    if (top == shownTop_ && left == shownLeft_)
        return;
    shownTop_ = top;
    shownLeft_ = left;
    logic_.scrolled();
}

int Win32MainWindow::pageRows() const {
    return std::max(1, ListView_GetCountPerPage(control(Control::Grid)));
}

void Win32MainWindow::redrawRow(int row) {
    if (row >= 1)
        ListView_RedrawItems(control(Control::Grid), row - 1, row - 1);
}

void Win32MainWindow::moveCurrentCell(int row, int column) {
    HWND grid = control(Control::Grid);
    ListView_EnsureVisible(grid, row - 1, FALSE);
    checkScrolled();
    logic_.cellChanged(row, column);
    showCurrentCell(logic_.currentRow(), logic_.currentColumn());
}

LRESULT Win32MainWindow::notify(const NMHDR& header, LPARAM l) {
    if (header.hwndFrom != control(Control::Grid))
        return 0;
    switch (header.code) {
        case NM_CUSTOMDRAW:
            return drawGridCell(*reinterpret_cast<NMLVCUSTOMDRAW*>(l));
        case NM_CLICK: {
            // The cell under the pointer: the list control's own hit test of
            // the report view's columns.
            LVHITTESTINFO hit{};
            hit.pt = reinterpret_cast<const NMITEMACTIVATE*>(l)->ptAction;
            ListView_SubItemHitTest(control(Control::Grid), &hit);
            // No selection: the cell colours are the window's signals.
            ListView_SetItemState(control(Control::Grid), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
            if (hit.iItem >= 0)
                moveCurrentCell(hit.iItem + 1, hit.iSubItem);
            return 0;
        }
        default:
            return 0;
    }
}

LRESULT Win32MainWindow::drawGridCell(NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            draw.nmcd.uItemState &= ~(CDIS_SELECTED | CDIS_FOCUS);
            return CDRF_NOTIFYSUBITEMDRAW;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
            const Cell& cell =
                logic_.cell(static_cast<int>(draw.nmcd.dwItemSpec) + 1, draw.iSubItem);
            draw.clrTextBk = ui::win32::toColorRef(cell.background);
            draw.clrText = ui::win32::toColorRef(cell.foreground);
            SelectObject(draw.nmcd.hdc, cell.bold ? gridBold_.handle() : gridFont_.handle());
            return CDRF_NEWFONT | CDRF_NOTIFYPOSTPAINT;
        }
        case CDDS_ITEMPOSTPAINT | CDDS_SUBITEM: {
            // The current cell: a dotted frame, as a grid marks it.
            const int row = static_cast<int>(draw.nmcd.dwItemSpec) + 1;
            if (row == logic_.currentRow() && draw.iSubItem == logic_.currentColumn()) {
                RECT cell{};
                ListView_GetSubItemRect(control(Control::Grid), row - 1, draw.iSubItem,
                                        draw.iSubItem == 0 ? LVIR_LABEL : LVIR_BOUNDS, &cell);
                InflateRect(&cell, -1, -1);
                DrawFocusRect(draw.nmcd.hdc, &cell);
            }
            return CDRF_DODEFAULT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

void Win32MainWindow::setRowCount(int modes) {
    HWND grid = control(Control::Grid);
    SendMessageW(grid, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(grid);
    for (int i = 0; i < modes; ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<wchar_t*>(L"");
        ListView_InsertItem(grid, &item);
    }
    SendMessageW(grid, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(grid, nullptr, TRUE);
    // The window's own reload is no scroll by the user.
    shownTop_ = ListView_GetTopIndex(grid);
    shownLeft_ = GetScrollPos(grid, SB_HORZ);
}

void Win32MainWindow::setCell(int row, int column, const Cell& cell) {
    HWND grid = control(Control::Grid);
    std::wstring text = ui::win32::widen(cell.text);
    if (row == 0) {
        LVCOLUMNW header{};
        header.mask = LVCF_TEXT;
        header.pszText = text.data();
        ListView_SetColumn(grid, column, &header);
        return;
    }
    ListView_SetItemText(grid, row - 1, column, text.data());
    ListView_RedrawItems(grid, row - 1, row - 1);
}

void Win32MainWindow::clearGrid() {
    HWND grid = control(Control::Grid);
    const int rows = ListView_GetItemCount(grid);
    for (int column = 0; column < 3; ++column) {
        setCell(0, column, Cell{});
        for (int i = 0; i < rows; ++i)
            ListView_SetItemText(grid, i, column, const_cast<wchar_t*>(L""));
    }
    InvalidateRect(grid, nullptr, TRUE);
}

void Win32MainWindow::showCurrentCell(int row, int) {
    // The list control has no current cell of its own: the logic holds it,
    // and the grid draws a frame round it. Nothing scrolls.
    redrawRow(markedRow_);
    markedRow_ = row;
    redrawRow(row);
}

void Win32MainWindow::placeEditor(int row, int column, const std::string& text, bool focus) {
    HWND grid = control(Control::Grid);
    HWND editor = control(Control::Text1);
    SetWindowTextW(editor, L"");
    ShowWindow(editor, SW_HIDE);
    ListView_EnsureVisible(grid, row - 1, FALSE);
    (void)column;  // a report view scrolls by rows; every column is in view
    // A scroll that this caused finds the editor empty and hidden.
    checkScrolled();
    RECT cell{};
    ListView_GetSubItemRect(grid, row - 1, 2, LVIR_BOUNDS, &cell);
    MapWindowPoints(grid, window_, reinterpret_cast<POINT*>(&cell), 2);
    MoveWindow(editor, cell.left, cell.top, cell.right - cell.left, cell.bottom - cell.top, TRUE);
    SetWindowTextW(editor, ui::win32::widen(text).c_str());
    EnableWindow(editor, TRUE);
    ShowWindow(editor, SW_SHOWNA);  // it was made above the grid: no restacking
    if (focus)
        SetFocus(editor);
    showCurrentCell(logic_.currentRow(), logic_.currentColumn());
}

void Win32MainWindow::hideEditor() {
    HWND editor = control(Control::Text1);
    HWND grid = control(Control::Grid);
    // The editor belongs to the grid: the focus goes back there, or on in
    // tab order when the grid cannot take it.
    if (GetFocus() == editor && IsWindowEnabled(grid) && IsWindowVisible(grid))
        SetFocus(grid);
    tabOrder_.show(editor, false);
    tabOrder_.enable(editor, false);
}

std::string Win32MainWindow::editorText() {
    return ui::win32::narrow(ui::win32::windowText(control(Control::Text1)));
}

void Win32MainWindow::setEditorText(const std::string& text) {
    SetWindowTextW(control(Control::Text1), ui::win32::widen(text).c_str());
}

}  // namespace veltrin
