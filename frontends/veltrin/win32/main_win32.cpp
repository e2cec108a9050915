// SPDX-License-Identifier: Apache-2.0
// Veltrin.exe: edits a unit's modes in a grid through Lumetra.dll, which it
// finds beside itself.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>

#include "frontends/veltrin/win32/lumetra_dll.h"
#include "frontends/veltrin/win32/main_window.h"
#include "ui/win32/window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // The RichEdit window class of the help pane.
    LoadLibraryW(L"riched20.dll");

    const std::wstring folder = ui::win32::programFolder();
    std::unique_ptr<veltrin::Library> library = veltrin::bindLumetraDll(folder);
    veltrin::Win32MainWindow window(instance, *library);
    if (window.window() == nullptr) {
        MessageBoxW(nullptr, L"The Veltrin window could not be created.", L"Veltrin", MB_OK);
        return 1;
    }
    window.loadHelp(folder);
    window.show(show);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window.handleDialogKey(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
