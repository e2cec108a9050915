#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <commdlg.h>
#include <richedit.h>

#include <fstream>
#include <vector>

#include "ui/win32/colour_button.h"
#include "veltrin/help_file.h"
#include "veltrin/win32/main_window.h"

namespace veltrin {

namespace {

using ui::win32::Twips;

const wchar_t kWindowClass[] = L"VeltrinFrmMain";
constexpr int kFirstId = 100;  // control ids: kFirstId + the Control's number

int idOf(Control c) {
    return kFirstId + static_cast<int>(c);
}

struct ButtonSpec {
    Control control;
    const wchar_t* caption;
    Twips at;
};

const ButtonSpec kButtons[] = {
    {Control::Read, L"Read Modes", {240, 960, 1455, 495}},
    {Control::SetMode, L"Set Mode", {2040, 240, 1215, 495}},
    {Control::Disconnect, L"Close", {2040, 960, 1215, 495}},
    {Control::Commit, L"Commit", {3480, 240, 1215, 495}},
    {Control::Restart, L"Restart Unit", {6360, 240, 1215, 495}},
    {Control::Exit, L"Exit", {7800, 240, 1455, 495}},
    {Control::Help, L"Help", {6360, 960, 1215, 495}},
};
const ButtonSpec kLateButtons[] = {
    {Control::SaveToFile, L"SaveToFile", {4920, 960, 1215, 495}},
    {Control::TextReset, L"TextReset", {3480, 960, 1215, 495}},
    {Control::RefreshAll, L"Refresh", {4920, 240, 1215, 495}},
};

void place(HWND control, const Rect& r) {
    ui::win32::place(control, {r.left, r.top, r.width, r.height});
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
    if (!ui::win32::registerWindowClass(
            instance, kWindowClass, procedure,
            LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION))))
        return;
    // The client area is 9795 x 8955 twips at start.
    RECT frame{0, 0, ui::twipsToPixels(9795), ui::twipsToPixels(8955)};
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
    logic_.resized(client.right * ui::kTwipsPerPixel, client.bottom * ui::kTwipsPerPixel);
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
    using ui::win32::createChild;
    auto keep = [this](Control c, HWND h) { controls_[static_cast<std::size_t>(c)] = h; };
    auto button = [&](const ButtonSpec& spec) {
        keep(spec.control,
             ui::win32::createColourButton(window_, idOf(spec.control), spec.caption, spec.at));
    };
    // Created in tab order, which is the order of the children for the
    // dialog keys: the address box, the grid, then the buttons.
    keep(Control::IP,
         createChild(window_, L"EDIT", L"", WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL,
                     idOf(Control::IP), {240, 480, 1455, 285}, WS_EX_CLIENTEDGE));
    keep(Control::Grid, createChild(window_, WC_LISTVIEWW, L"",
                                    WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_CLIPSIBLINGS |
                                        LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER,
                                    idOf(Control::Grid), {240, 1680, 9255, 5595}));
    keep(Control::Label1, createChild(window_, L"STATIC", L"Unit IP Address:", WS_VISIBLE,
                                      idOf(Control::Label1), {240, 240, 1575, 255}));
    for (const ButtonSpec& spec : kButtons) button(spec);
    keep(Control::UserGuide, createChild(window_, RICHEDIT_CLASSW, L"",
                                         WS_TABSTOP | WS_BORDER | WS_VSCROLL | WS_CLIPSIBLINGS |
                                             ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                                         idOf(Control::UserGuide), {240, 1680, 9255, 6855}));
    button({Control::Ok, L"Ok", {4200, 7680, 1455, 495}});
    keep(Control::Text1, createChild(window_, L"EDIT", L"", WS_CLIPSIBLINGS | ES_AUTOHSCROLL,
                                     idOf(Control::Text1), {7320, 7980, 2055, 285}));
    keep(Control::Info, createChild(window_, L"STATIC", L"", WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                    idOf(Control::Info), {240, 7560, 9255, 975}));
    for (const ButtonSpec& spec : kLateButtons) button(spec);

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
    return IsDialogMessageW(window_, &message) != 0;
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
    const bool enter = w == VK_RETURN;
    if (which == Control::Grid) {
        if (message == WM_VSCROLL || message == WM_HSCROLL || message == WM_MOUSEWHEEL) {
            LRESULT result = DefSubclassProc(control, message, w, l);
            window->logic_.scrolled();
            return result;
        }
        return DefSubclassProc(control, message, w, l);
    }
    // The edit boxes take Enter themselves rather than leave it to the
    // dialog keys, and never beep at it.
    if (message == WM_GETDLGCODE && l != 0 && reinterpret_cast<MSG*>(l)->wParam == VK_RETURN)
        return DLGC_WANTALLKEYS | DefSubclassProc(control, message, w, l);
    if (message == WM_CHAR && enter)
        return 0;
    if (message == WM_KEYDOWN && enter) {
        if (which == Control::IP)
            window->logic_.readModes();
        else
            window->logic_.editorEnter();
        return 0;
    }
    return DefSubclassProc(control, message, w, l);
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
        case WM_SIZE:
            if (w != SIZE_MINIMIZED)
                logic_.resized(LOWORD(l) * ui::kTwipsPerPixel, HIWORD(l) * ui::kTwipsPerPixel);
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
    switch (which) {
        case Control::Read:
            return logic_.readModes();
        case Control::SetMode:
            return logic_.setMode();
        case Control::Disconnect:
            return logic_.disconnect();
        case Control::Commit:
            return logic_.commit();
        case Control::TextReset:
            return logic_.textReset();
        case Control::RefreshAll:
            return logic_.refreshAll();
        case Control::SaveToFile:
            return logic_.saveToFile();
        case Control::Restart:
            return logic_.restartUnit();
        case Control::Help:
            return logic_.showHelp();
        case Control::Ok:
            return logic_.closeHelp();
        case Control::Exit:
            return logic_.exitProgram();
        default:
            return;
    }
}

// ---- View: controls -------------------------------------------------------

void Win32MainWindow::enableControl(Control c, bool enabled) {
    EnableWindow(control(c), enabled ? TRUE : FALSE);
}

void Win32MainWindow::showControl(Control c, bool shown) {
    if (shown)
        SetWindowPos(control(c), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(control(c), shown ? SW_SHOW : SW_HIDE);
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
    for (int column = 0; column < 3; ++column)
        ListView_SetColumnWidth(control(Control::Grid), column,
                                ui::twipsToPixels(layout.columns[column]));
    HWND editor = control(Control::Text1);
    RECT now;
    GetWindowRect(editor, &now);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&now), 2);
    MoveWindow(editor, ui::twipsToPixels(layout.editorLeft), now.top,
               ui::twipsToPixels(layout.editorWidth), now.bottom - now.top, TRUE);
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
    if (!GetSaveFileNameW(&dialog))
        return std::nullopt;
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
