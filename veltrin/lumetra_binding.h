// The Qt window's way to the Lumetra library: the library file is found by
// name at run time (QLibrary) and each export is looked up at its first call,
// so the window starts and keeps working without it. Texts cross as 8-bit
// bytes; the QString overloads widen them byte for byte (Latin-1), so a value
// shown can be sent or saved back unchanged.
#pragma once

#include <QString>
#include <QStringList>

#include "veltrin/lumetra_calls.h"

namespace veltrin {

class LumetraBinding : public LumetraCalls {
  public:
    // `name` is the library's base name ("Lumetra": libLumetra.so, Lumetra.dll);
    // it is looked for in each of `folders` in turn, then where the system
    // looks for libraries.
    explicit LumetraBinding(QString name = QStringLiteral("Lumetra"),
                            QStringList folders = defaultFolders());

    // The program's folder, then the library folder of an installed layout.
    static QStringList defaultFolders();

    using LumetraCalls::mode;
    using LumetraCalls::open;
    using LumetraCalls::reOpen;
    using LumetraCalls::setMode;
    short open(const QString& address) { return open(address.toLatin1().toStdString()); }
    short reOpen(const QString& address) { return reOpen(address.toLatin1().toStdString()); }
    QString mode(const QString& name);
    bool setMode(const QString& name, const QString& value);
};

}  // namespace veltrin
