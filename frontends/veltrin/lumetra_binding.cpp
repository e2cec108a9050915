// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/lumetra_binding.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace veltrin {

namespace {

// With the library's major version first (libLumetra.so.6, all that the
// run-time package installs), then bare (libLumetra.so beside the program in
// the build folder; Lumetra.dll, where Qt ignores the version).
bool loadEitherName(QLibrary& library, const QString& fileName) {
    library.setFileNameAndVersion(fileName, VELTRIN_LUMETRA_VERSION);
    if (library.load())
        return true;
    library.setFileName(fileName);
    return library.load();
}

// The library file through QLibrary; string results are freed with the
// library's own LumetraFreeString.
class QtLibraryFile : public SymbolSource {
  public:
    QtLibraryFile(QString name, QStringList folders)
        : name_(std::move(name)), folders_(std::move(folders)) {}

    void* find(const char* symbol, std::string& problem) override {
        if (!load(problem))
            return nullptr;
        QFunctionPointer fn = library_.resolve(symbol);
        if (fn == nullptr) {
            problem = QStringLiteral("The %1 library %2 has no function %3.")
                          .arg(name_, library_.fileName(), QLatin1String(symbol))
                          .toLocal8Bit()
                          .toStdString();
        }
        return reinterpret_cast<void*>(fn);
    }

    void release(LumetraString text, std::string& problem) override {
        if (free_ == nullptr)
            free_ = reinterpret_cast<decltype(free_)>(find("LumetraFreeString", problem));
        if (free_ != nullptr)
            free_(text);
    }

  private:
    bool load(std::string& problem) {
        if (library_.isLoaded())
            return true;
        for (const QString& folder : folders_) {
            if (loadEitherName(library_, QDir(folder).filePath(name_)))
                return true;
        }
        if (loadEitherName(library_, name_))
            return true;
        QStringList places = folders_;
        for (QString& place : places) place = QDir::cleanPath(place);
        places << QStringLiteral("the system's library path");
        problem = QStringLiteral("Cannot load the %1 library: looked in %2 (%3).")
                      .arg(name_, places.join(QStringLiteral(", ")), library_.errorString())
                      .toLocal8Bit()
                      .toStdString();
        return false;
    }

    QString name_;
    QStringList folders_;
    QLibrary library_;
    decltype(&::LumetraFreeString) free_ = nullptr;
};

}  // namespace

LumetraBinding::LumetraBinding(QString name, QStringList folders)
    : LumetraCalls(std::make_unique<QtLibraryFile>(std::move(name), std::move(folders))) {}

QStringList LumetraBinding::defaultFolders() {
    const QString program = QCoreApplication::applicationDirPath();
    return {program, QDir(program).filePath(QStringLiteral(VELTRIN_LIB_FROM_BIN))};
}

QString LumetraBinding::mode(const QString& name) {
    return ui::qt::widen(mode(ui::qt::narrow(name)));
}

bool LumetraBinding::setMode(const QString& name, const QString& value) {
    return setMode(ui::qt::narrow(name), ui::qt::narrow(value));
}

}  // namespace veltrin
