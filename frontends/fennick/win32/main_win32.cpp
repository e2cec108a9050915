// SPDX-License-Identifier: Apache-2.0
// Fennick.exe: sets the second serial port of a unit through Lumetra.dll,
// which sits beside it.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "frontends/control/win32/form_window.h"
#include "frontends/fennick/lumetra_control.h"
#include "frontends/fennick/win32/form1.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int show) {
    if (frontends::win32::showHelpIfAsked(commandLine, fennick::kUsage, L"Fennick"))
        return 0;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    fennick::registerLumetraControl();
    fennick::win32::Form1 form(instance);
    if (form.window() == nullptr) {
        MessageBoxW(nullptr, L"The Fennick window could not be created.", L"Fennick", MB_OK);
        return 1;
    }
    return form.run(show);
}
