// Fennick: sets the second serial port of a unit through the Lumetra library.
#include <QApplication>

#include "frontends/control/program_help.h"
#include "frontends/fennick/form1.h"
#include "frontends/fennick/lumetra_control.h"

int main(int argc, char** argv) {
    if (frontends::printHelpIfAsked(
            argc, argv,
            "Usage: Fennick\n"
            "Opens the \"Configure Port 2\" window: type a unit's address, choose the\n"
            "settings of its second serial port and press OK. OK turns green when the\n"
            "settings were sent to the unit's port 1283, red when they were not (hover\n"
            "over it to see why). Exit or Escape ends the program.\n"))
        return 0;
    QApplication app(argc, argv);
    fennick::registerLumetraControl();
    fennick::Form1 form;
    QObject::connect(&form, &QDialog::finished, &app, &QApplication::quit);
    form.show();
    return app.exec();
}
