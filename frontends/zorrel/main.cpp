// Zorrel: a window that runs a small host server for units.
#include <QApplication>

#include "frontends/control/program_help.h"
#include "frontends/zorrel/form1.h"
#include "frontends/zorrel/zorrel_control.h"
#include "net/program_folder.h"

int main(int argc, char** argv) {
    if (frontends::printHelpIfAsked(
            argc, argv,
            "Usage: Zorrel\n"
            "Opens a window that runs a host server for units on TCP port 1283 of every\n"
            "address. Start Server starts it, Exit Server stops it. A unit's plain-text\n"
            "scan is answered with \"First Message\" and, two seconds later, \"Second\n"
            "Message\"; a product query frame (PROD) with the image header.gif (from\n"
            "../share/unitsuite when installed, else from the program's folder); event frames are "
            "read and not answered.\n"))
        return 0;
    QApplication app(argc, argv);
    zorrel::registerZorrelControl(QString::fromStdString(net::programDataFolder().string()));
    zorrel::Form1 form;
    form.show();
    return app.exec();
}
