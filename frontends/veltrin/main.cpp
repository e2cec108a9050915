// SPDX-License-Identifier: Apache-2.0
// Veltrin: edits a unit's modes in a grid through the Lumetra library.
#include <QApplication>
#include <QPainter>
#include <cstdio>

#include "frontends/veltrin/lumetra_binding.h"
#include "frontends/veltrin/main_window.h"
#include "platform/program_folder.h"

namespace {

// A small terminal: grey case, blue screen, green status lamp.
QIcon terminalIcon() {
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        const double s = size / 16.0;
        painter.scale(s, s);
        painter.setPen(Qt::black);
        painter.setBrush(QColor(192, 192, 192));
        painter.drawRect(1, 1, 13, 14);
        painter.setBrush(QColor(0, 0, 128));
        painter.drawRect(3, 3, 9, 6);
        painter.setBrush(QColor(0, 255, 0));
        painter.drawRect(10, 11, 2, 2);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrin"));
    if (app.arguments().contains(QStringLiteral("--help"))) {
        std::printf(
            "Usage: Veltrin\n"
            "Opens the Veltrin window: type a unit's address, press Read Modes, edit values in\n"
            "the New Content column, then Set Mode and Commit. Needs libLumetra.so beside the\n"
            "program, in ../lib, or on the system's library path; reads VeltrinHelp.rtf from\n"
            "../share/unitsuite when installed, else from the program's folder.\n");
        return 0;
    }
    veltrin::LumetraBinding library;
    veltrin::MainWindow window(&library);
    window.setWindowIcon(terminalIcon());
    window.loadHelp(QString::fromStdString(platform::programDataFolder().string()));
    window.show();
    return app.exec();
}
