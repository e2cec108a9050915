// SPDX-License-Identifier: Apache-2.0
// The Qt window's way to the Lumetra library: the library file is found by
// name at run time (platform::SharedLibrary) and each export is looked up at
// its first call, so the window starts and keeps working without it. Texts
// cross as 8-bit bytes; the QString overloads convert them through the
// locale's encoding (ui/qt/text.h), as every text of the window does.
#pragma once

#include <QString>
#include <QStringList>

#include "frontends/veltrin/lumetra_calls.h"
#include "ui/qt/text.h"

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
    short open(const QString& address) { return open(ui::qt::narrow(address)); }
    short reOpen(const QString& address) { return reOpen(ui::qt::narrow(address)); }
    QString mode(const QString& name);
    bool setMode(const QString& name, const QString& value);
};

}  // namespace veltrin
