// SPDX-License-Identifier: Apache-2.0
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <commdlg.h>
#include <richedit.h>

#include <fstream>
#include <vector>

#include "frontends/veltrin/controls.h"
#include "frontends/veltrin/help_file.h"
#include "frontends/veltrin/win32/main_window.h"
#include "ui/win32/colour_button.h"

namespace veltrin {

namespace {

const wchar_t kWindowClass[] = L"VeltrinFrmMain";
constexpr int kFirstId = 100;  // control ids: kFirstId + the Control's number

int idOf(Control c) {
    return kFirstId + static_cast<int>(c);
}

void place(HWND control, const ui::TwipsRect& r) {
    ui::win32::place(control, r);
}

DWORD CALLBACK readStream(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* got) {
    auto* in = reinterpret_cast<std::ifstream*>(cookie);
    in->read(reinterpret_cast<char*>(buffer), wanted);
    *got = static_cast<LONG>(in->gcount());
    return 0;
}

}  // namespace

Win32MainWindow::Win32MainWindow(HINSTANCE instance, Library& library)
    : instance_(instance), logic_(library, *this) {
    infoBrush_ = CreateSolidBrush(GetSysColor(COLOR_INFOBK));
    editorBrush_ = CreateSolidBrush(RGB(0, 0, 255));
    if (!ui::win32::registerWindowClass(instance, kWindowClass, procedure))
        return;
    // The client area at start.
    const int dpi = ui::win32::dpiOf(nullptr);
    RECT frame{0, 0, ui::win32::twipsToPixels(kClientWidth, dpi),
               ui::win32::twipsToPixels(kClientHeight, dpi)};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    window_ = CreateWindowExW(0, kWindowClass, ui::win32::widen(kTitle).c_str(),
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                              instance, this);
    if (window_ == nullptr)
        return;
    buildControls();
    logic_.start();
    RECT client;
    GetClientRect(window_, &client);
    const int shown = ui::win32::dpiOf(window_);
    logic_.resized(ui::win32::pixelsToTwips(client.right, shown),
                   ui::win32::pixelsToTwips(client.bottom, shown));
}

Win32MainWindow::~Win32MainWindow() {
    DeleteObject(infoBrush_);
    DeleteObject(editorBrush_);
}

void Win32MainWindow::show(int how) {
    ShowWindow(window_, how);
    UpdateWindow(window_);
    giveFocus(Control::IP);
}

void Win32MainWindow::buildControls() {
    // Every control placed and captioned from the control table
    // (controls.h); a window has no object names, so the control id is the
    // Control's number.
    auto make = [this](Control c, const wchar_t* className, DWORD style, DWORD exStyle = 0) {
        const ui::ControlSpec& at = spec(c);
        controls_[static_cast<std::size_t>(c)] = ui::win32::createChild(
            window_, className, ui::win32::widen(at.caption), style, idOf(c), at.place, exStyle);
    };
    auto button = [this](Control c) {
        controls_[static_cast<std::size_t>(c)] = ui::win32::createColourButton(
            window_, idOf(c), ui::win32::widen(spec(c).caption), spec(c).place);
    };
    // Created in stacking order, top first: the value editor over the grid
    // and Ok over the help pane. Tab follows kTabOrder, not this order.
    make(Control::Text1, L"EDIT", WS_CLIPSIBLINGS | ES_AUTOHSCROLL);
    button(Control::Ok);
    make(Control::IP, L"EDIT", WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL,
         WS_EX_CLIENTEDGE);
    make(Control::Grid, WC_LISTVIEWW,
         WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_CLIPSIBLINGS | LVS_REPORT | LVS_SINGLESEL |
             LVS_NOSORTHEADER);
    make(Control::Label1, L"STATIC", WS_VISIBLE);
    for (Control c : kButtons)
        if (c != Control::Ok)
            button(c);
    make(Control::UserGuide, RICHEDIT_CLASSW,
         WS_TABSTOP | WS_BORDER | WS_VSCROLL | WS_CLIPSIBLINGS | ES_MULTILINE | ES_READONLY |
             ES_AUTOVSCROLL);
    make(Control::Info, L"STATIC", WS_VISIBLE | SS_LEFT | SS_NOPREFIX);
    std::vector<HWND> order;
    for (Control c : kTabOrder) order.push_back(control(c));
    tabOrder_.set(std::move(order));

    HWND grid = control(Control::Grid);
    ListView_SetExtendedListViewStyle(grid, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    gridFont_.applyTo(grid);
    gridBold_.applyTo(ListView_GetHeader(grid));
    for (int column = 0; column < 3; ++column) {
        LVCOLUMNW description{};
        description.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        description.fmt = LVCFMT_LEFT;
        description.cx = 100;
        description.pszText = const_cast<wchar_t*>(L"");
        ListView_InsertColumn(grid, column, &description);
    }
    infoFont_.applyTo(control(Control::Info));
    editorFont_.applyTo(control(Control::Text1));

    HWND guide = control(Control::UserGuide);
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_FACE | CFM_SIZE | CFM_BOLD;
    format.dwEffects = CFE_BOLD;
    format.yHeight = 12 * 20;
    lstrcpynW(format.szFaceName, L"Verdana", LF_FACESIZE);
    SendMessageW(guide, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));

    // Enter in the address box and in the value editor, and the grid's scrolling.
    for (Control c : {Control::IP, Control::Text1, Control::Grid})
        SetWindowSubclass(control(c), controlProcedure, static_cast<UINT_PTR>(c),
                          reinterpret_cast<DWORD_PTR>(this));
    // A click on the header row closes the editor.
    SetWindowSubclass(ListView_GetHeader(grid), headerProcedure, 0,
                      reinterpret_cast<DWORD_PTR>(this));
}

void Win32MainWindow::loadHelp(const std::wstring& programFolder) {
    std::ifstream in(helpFile(programFolder), std::ios::binary);
    if (!in)
        return;  // no help file: the pane stays empty, silently
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&in);
    stream.pfnCallback = readStream;
    SendMessageW(control(Control::UserGuide), EM_STREAMIN, SF_RTF,
                 reinterpret_cast<LPARAM>(&stream));
}

bool Win32MainWindow::handleDialogKey(MSG& message) {
    // No default and no cancel button: Enter and Escape act only where a
    // control takes them (the address box, the editor) or on a focused button.
    return ui::win32::handleDialogKeys(window_, message, tabOrder_);
}

// ---- Messages -------------------------------------------------------------

LRESULT CALLBACK Win32MainWindow::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(l);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        reinterpret_cast<Win32MainWindow*>(create->lpCreateParams)->window_ = window;
    }
    auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(window, message, w, l);
    return self->handle(message, w, l);
}

LRESULT CALLBACK Win32MainWindow::controlProcedure(HWND control, UINT message, WPARAM w, LPARAM l,
                                                   UINT_PTR id, DWORD_PTR self) {
    auto* window = reinterpret_cast<Win32MainWindow*>(self);
    const auto which = static_cast<Control>(id);
    if (which == Control::Grid)
        return window->gridMessage(control, message, w, l);
    return window->editMessage(which, control, message, w, l);
}

LRESULT CALLBACK Win32MainWindow::headerProcedure(HWND header, UINT message, WPARAM w, LPARAM l,
                                                  UINT_PTR, DWORD_PTR self) {
    if (message == WM_LBUTTONDOWN)
        reinterpret_cast<Win32MainWindow*>(self)->logic_.headerClicked();
    return DefSubclassProc(header, message, w, l);
}

LRESULT Win32MainWindow::editMessage(Control which, HWND edit, UINT message, WPARAM w, LPARAM l) {
    const bool editor = which == Control::Text1;
    // The address box takes Enter, the editor Enter and Escape, rather than
    // leave them to the dialog keys; neither beeps at them.
    auto takes = [editor](WPARAM key) { return key == VK_RETURN || (editor && key == VK_ESCAPE); };
    if (message == WM_GETDLGCODE && l != 0 && takes(reinterpret_cast<MSG*>(l)->wParam))
        return DLGC_WANTALLKEYS | DefSubclassProc(edit, message, w, l);
    if (message == WM_CHAR && takes(w))
        return 0;
    if (message == WM_KEYDOWN && takes(w)) {
        if (!editor)
            logic_.readModes();
        else if (w == VK_RETURN)
            logic_.editorEnter();
        else
            logic_.editorEscape();
        return 0;
    }
    if (editor && message == WM_KEYDOWN) {
        if (const auto key = gridKey(w); key && isEditorMoveKey(*key)) {
            if (const auto to = logic_.cellAfterKey(*key, pageRows()))
                moveCurrentCell(to->row, to->column);
            return 0;
        }
    }
    return DefSubclassProc(edit, message, w, l);
}

LRESULT Win32MainWindow::handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_COMMAND:
            command(LOWORD(w), HIWORD(w));
            return 0;
        case WM_NOTIFY:
            return notify(*reinterpret_cast<NMHDR*>(l), l);
        case WM_DRAWITEM:
            if (ui::win32::drawColourButton(*reinterpret_cast<DRAWITEMSTRUCT*>(l)))
                return TRUE;
            break;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(l) == control(Control::Info)) {
                auto dc = reinterpret_cast<HDC>(w);
                SetBkColor(dc, GetSysColor(COLOR_INFOBK));
                SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
                return reinterpret_cast<LRESULT>(infoBrush_);
            }
            break;
        case WM_CTLCOLOREDIT:
            if (reinterpret_cast<HWND>(l) == control(Control::Text1)) {
                auto dc = reinterpret_cast<HDC>(w);
                SetBkColor(dc, RGB(0, 0, 255));
                SetTextColor(dc, RGB(255, 255, 255));
                return reinterpret_cast<LRESULT>(editorBrush_);
            }
            break;
        case WM_ACTIVATE:
            if (focusKeeper_.activate(window_, w, tabOrder_))
                return 0;
            break;
        case WM_SIZE:
            if (w != SIZE_MINIMIZED) {
                const int dpi = ui::win32::dpiOf(window_);
                logic_.resized(ui::win32::pixelsToTwips(LOWORD(l), dpi),
                               ui::win32::pixelsToTwips(HIWORD(l), dpi));
            }
            return 0;
        case WM_CLOSE:
            logic_.exitProgram();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, w, l);
}

void Win32MainWindow::command(int id, int code) {
    const auto which = static_cast<Control>(id - kFirstId);
    if (which == Control::IP) {
        if (code == EN_CHANGE && !settingAddress_)
            logic_.addressChanged(ui::win32::narrow(ui::win32::windowText(control(Control::IP))));
        return;
    }
    if (code != BN_CLICKED)
        return;
    logic_.press(which);
}

// ---- View: controls -------------------------------------------------------

void Win32MainWindow::enableControl(Control c, bool enabled) {
    tabOrder_.enable(control(c), enabled);
}

void Win32MainWindow::showControl(Control c, bool shown) {
    tabOrder_.show(control(c), shown);
}

void Win32MainWindow::giveFocus(Control c) {
    SetFocus(control(c));
}

void Win32MainWindow::setButtonColour(Control button, const ui::Colour& colour) {
    ui::win32::setButtonColour(control(button), colour);
}

void Win32MainWindow::setStatus(const std::string& text) {
    SetWindowTextW(control(Control::Info), ui::win32::widen(text).c_str());
}

void Win32MainWindow::setAddress(const std::string& text) {
    settingAddress_ = true;
    SetWindowTextW(control(Control::IP), ui::win32::widen(text).c_str());
    settingAddress_ = false;
}

void Win32MainWindow::setBusy(bool busy) {
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(busy ? IDC_WAIT : IDC_ARROW)));
    if (busy)
        UpdateWindow(control(Control::Info));
}

void Win32MainWindow::applyLayout(const Layout& layout) {
    place(control(Control::Info), layout.status);
    place(control(Control::UserGuide), layout.help);
    place(control(Control::Ok), layout.ok);
    place(control(Control::Grid), layout.grid);
    const int dpi = ui::win32::dpiOf(window_);
    for (int column = 0; column < 3; ++column)
        ListView_SetColumnWidth(control(Control::Grid), column,
                                ui::win32::twipsToPixels(layout.columns[column], dpi));
    HWND editor = control(Control::Text1);
    RECT now;
    GetWindowRect(editor, &now);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&now), 2);
    MoveWindow(editor, ui::win32::twipsToPixels(layout.editorLeft, dpi), now.top,
               ui::win32::twipsToPixels(layout.editorWidth, dpi), now.bottom - now.top, TRUE);
    InvalidateRect(window_, nullptr, TRUE);
}

std::optional<SaveChoice> Win32MainWindow::askReportFile() {
    std::vector<wchar_t> name(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = L"Text files\0*.TXT\0All files\0*.*\0";
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrDefExt = L"TXT";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog)) {
        // Zero is a cancel; anything else is the dialog's own failure (a
        // name too long for the buffer, no memory, ...), which the error
        // box reports with the name the dialog held.
        if (CommDlgExtendedError() == 0)
            return std::nullopt;
        return SaveChoice{{}, ui::win32::narrow(name.data()), true};
    }
    const std::wstring chosen(name.data());
    return SaveChoice{std::filesystem::path(chosen), ui::win32::narrow(chosen)};
}

void Win32MainWindow::showMessage(const std::string& title, const std::string& text) {
    MessageBoxW(window_, ui::win32::widen(text).c_str(), ui::win32::widen(title).c_str(),
                MB_OK | MB_ICONWARNING);
}

void Win32MainWindow::quit() {
    DestroyWindow(window_);
}

}  // namespace veltrin
