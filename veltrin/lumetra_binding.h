// The window's way to the Lumetra library: the library file is found by name
// at run time and each export is looked up at its first call, so the window
// starts and keeps working without it. Texts cross as 8-bit bytes and are
// widened byte for byte (Latin-1), so a value shown can be sent or saved back
// unchanged.
#pragma once

#include <QLibrary>
#include <QString>
#include <QStringList>

#include "lumetra/lumetra.h"

namespace veltrin {

class LumetraBinding {
  public:
    // `name` is the library's base name ("Lumetra": libLumetra.so, Lumetra.dll);
    // it is looked for in each of `folders` in turn, then where the system
    // looks for libraries.
    explicit LumetraBinding(QString name = QStringLiteral("Lumetra"),
                            QStringList folders = defaultFolders());

    // The program's folder, then the library folder of an installed layout.
    static QStringList defaultFolders();

    short open(const QString& address);
    short reOpen(const QString& address);
    void close();
    short lastError();
    QString firstModeName();
    QString nextModeName();
    QString modeType(const QString& name);
    QString modeHelp(const QString& name);
    short modeSize(const QString& name);
    QString nvRamMode(const QString& name);
    QString mode(const QString& name);
    bool setMode(const QString& name, const QString& value);
    void commit();
    void restart();

    // Why the last call could not reach the library or one of its exports;
    // empty when every call since the last look found what it needed.
    QString takeProblem();

  private:
    bool load();
    QFunctionPointer resolve(const char* symbol);
    template <typename Fn>
    Fn bound(Fn& slot, const char* symbol) {
        if (slot == nullptr)
            slot = reinterpret_cast<Fn>(resolve(symbol));
        return slot;
    }
    QString text(LumetraString result);

    QString name_;
    QStringList folders_;
    QLibrary library_;
    QString problem_;

    decltype(&::uxOpen) open_ = nullptr;
    decltype(&::ReOpen) reOpen_ = nullptr;
    decltype(&::uxClose) close_ = nullptr;
    decltype(&::uxGetLastError) lastError_ = nullptr;
    decltype(&::GetFirstModeName) firstName_ = nullptr;
    decltype(&::GetNextModeName) nextName_ = nullptr;
    decltype(&::GetModeType) type_ = nullptr;
    decltype(&::GetModeHelp) help_ = nullptr;
    decltype(&::GetModeSize) size_ = nullptr;
    decltype(&::GetNVRamMode) nvRam_ = nullptr;
    decltype(&::GetMode) mode_ = nullptr;
    decltype(&::uxSetMode) setMode_ = nullptr;
    decltype(&::uxCommit) commit_ = nullptr;
    decltype(&::uxRestart) restart_ = nullptr;
    decltype(&::LumetraFreeString) free_ = nullptr;
};

}  // namespace veltrin
