// SPDX-License-Identifier: Apache-2.0
// Fennick: sets the second serial port of a unit through the Lumetra library.
#include <QApplication>

#include "frontends/control/program_help.h"
#include "frontends/fennick/lumetra_control.h"
#include "frontends/fennick/qt/form1.h"

int main(int argc, char** argv) {
    if (frontends::printHelpIfAsked(argc, argv, fennick::kUsage))
        return 0;
    QApplication app(argc, argv);
    fennick::registerLumetraControl();
    fennick::Form1 form;
    QObject::connect(&form, &QDialog::finished, &app, &QApplication::quit);
    form.show();
    return app.exec();
}
