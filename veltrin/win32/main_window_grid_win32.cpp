// The grid half of the Win32 view: a report-view list control whose cells
// are drawn in the logic's colours (custom draw), its header as row 0, and
// the value editor laid over a New Content cell.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "veltrin/win32/main_window.h"

namespace veltrin {

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
                logic_.cellChanged(hit.iItem + 1, hit.iSubItem);
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
            return CDRF_NEWFONT;
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

void Win32MainWindow::showCurrentCell(int, int) {
    // The list control has no current cell of its own to move: the logic
    // holds it, and no selection is ever shown.
}

void Win32MainWindow::placeEditor(int row, int column, const std::string& text) {
    HWND grid = control(Control::Grid);
    HWND editor = control(Control::Text1);
    SetWindowTextW(editor, L"");
    ShowWindow(editor, SW_HIDE);
    ListView_EnsureVisible(grid, row - 1, FALSE);
    (void)column;  // a report view scrolls by rows; every column is in view
    RECT cell{};
    ListView_GetSubItemRect(grid, row - 1, 2, LVIR_BOUNDS, &cell);
    MapWindowPoints(grid, window_, reinterpret_cast<POINT*>(&cell), 2);
    MoveWindow(editor, cell.left, cell.top, cell.right - cell.left, cell.bottom - cell.top, TRUE);
    SetWindowTextW(editor, ui::win32::widen(text).c_str());
    EnableWindow(editor, TRUE);
    SetWindowPos(editor, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetFocus(editor);
}

void Win32MainWindow::hideEditor() {
    ShowWindow(control(Control::Text1), SW_HIDE);
    EnableWindow(control(Control::Text1), FALSE);
}

std::string Win32MainWindow::editorText() {
    return ui::win32::narrow(ui::win32::windowText(control(Control::Text1)));
}

void Win32MainWindow::setEditorText(const std::string& text) {
    SetWindowTextW(control(Control::Text1), ui::win32::widen(text).c_str());
}

}  // namespace veltrin
