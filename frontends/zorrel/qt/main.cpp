// SPDX-License-Identifier: Apache-2.0
// Zorrel: a window that runs a small host server for units.
#include <QApplication>

#include "frontends/control/program_help.h"
#include "frontends/zorrel/qt/form1.h"
#include "frontends/zorrel/zorrel_control.h"
#include "platform/program_folder.h"
#include "platform/utf16.h"

int main(int argc, char** argv) {
    if (frontends::printHelpIfAsked(argc, argv, zorrel::kUsage))
        return 0;
    QApplication app(argc, argv);
    zorrel::registerZorrelControl(platform::utf8Path(platform::programDataFolder()));
    zorrel::Form1 form;
    form.show();
    return app.exec();
}
