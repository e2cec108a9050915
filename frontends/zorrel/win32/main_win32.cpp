// SPDX-License-Identifier: Apache-2.0
// Zorrel.exe: a window that runs a small host server for units, on Windows
// Sockets; header.gif sits beside the program.
#include <windows.h>

#include "frontends/control/win32/form_window.h"
#include "frontends/zorrel/win32/form1.h"
#include "frontends/zorrel/zorrel_control.h"
#include "platform/program_folder.h"
#include "platform/socket.h"
#include "platform/utf16.h"
#include "ui/win32/window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int show) {
    if (frontends::win32::showHelpIfAsked(commandLine, zorrel::kUsage, L"Zorrel"))
        return 0;
    if (platform::startup() != 0) {
        MessageBoxW(nullptr, L"Windows Sockets could not be started.", L"Zorrel", MB_OK);
        return 1;
    }
    // The platform layer's file calls take UTF-8 names, so a folder named
    // in any language is found.
    zorrel::registerZorrelControl(platform::utf8Path(platform::programDataFolder()));
    zorrel::win32::Form1 form(instance);
    if (!form.ready()) {
        MessageBoxW(nullptr, L"The Zorrel window could not be created.", L"Zorrel", MB_OK);
        return 1;
    }
    return form.run(show);
}
