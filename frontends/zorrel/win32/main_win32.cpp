// SPDX-License-Identifier: Apache-2.0
// Zorrel.exe: a window that runs a small host server for units, on Windows
// Sockets; header.gif sits beside the program.
#include <windows.h>

#include "frontends/control/win32/form_window.h"
#include "frontends/zorrel/win32/form1.h"
#include "frontends/zorrel/zorrel_control.h"
#include "platform/program_folder.h"
#include "platform/socket.h"
#include "ui/win32/window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int show) {
    if (frontends::win32::showHelpIfAsked(commandLine, zorrel::kUsage, L"Zorrel"))
        return 0;
    if (platform::startup() != 0) {
        MessageBoxW(nullptr, L"Windows Sockets could not be started.", L"Zorrel", MB_OK);
        return 1;
    }
    // The control opens header.gif through the 8-bit file calls of the
    // platform layer; the folder's own name may hold any character, so the
    // folder becomes the working folder (by its UTF-16 name) and the control
    // names its files relative to it.
    SetCurrentDirectoryW(platform::programDataFolder().c_str());
    zorrel::registerZorrelControl(".");
    zorrel::win32::Form1 form(instance);
    if (!form.ready()) {
        MessageBoxW(nullptr, L"The Zorrel window could not be created.", L"Zorrel", MB_OK);
        return 1;
    }
    return form.run(show);
}
