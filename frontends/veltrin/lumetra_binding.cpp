// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/lumetra_binding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "platform/shared_library.h"

namespace veltrin {

namespace {

// The library file through platform::SharedLibrary; string results are freed
// with the library's own LumetraFreeString.
class LibraryFile : public SymbolSource {
  public:
    LibraryFile(QString name, QStringList folders)
        : name_(std::move(name)), folders_(std::move(folders)) {}

    void* find(const char* symbol, std::string& problem) override {
        if (!load(problem))
            return nullptr;
        std::string error;
        void* address = library_.find(symbol, error);
        if (address == nullptr) {
            problem = QStringLiteral("The %1 library %2 has no function %3.")
                          .arg(name_, loaded_, QLatin1String(symbol))
                          .toLocal8Bit()
                          .toStdString();
        }
        return address;
    }

    void release(LumetraString text, std::string& problem) override {
        if (free_ == nullptr)
            free_ = reinterpret_cast<decltype(free_)>(find("LumetraFreeString", problem));
        if (free_ != nullptr)
            free_(text);
    }

  private:
    // With the library's major version first (libLumetra.so.6, all that the
    // run-time package installs), then bare (libLumetra.so beside the
    // program in the build folder).
    QStringList fileNames() const {
        const QString bare = QStringLiteral("lib%1.so").arg(name_);
        return {bare + QStringLiteral(".%1").arg(VELTRIN_LUMETRA_VERSION), bare};
    }

    bool tryOpen(const QString& path, std::string& error) {
        if (!library_.open(QFile::encodeName(path).toStdString(), error))
            return false;
        loaded_ = path;
        return true;
    }

    bool load(std::string& problem) {
        if (library_.isOpen())
            return true;
        std::string error;
        for (const QString& folder : folders_) {
            for (const QString& file : fileNames()) {
                if (tryOpen(QDir(folder).filePath(file), error))
                    return true;
            }
        }
        // A bare file name: where the system looks for libraries.
        for (const QString& file : fileNames()) {
            if (tryOpen(file, error))
                return true;
        }
        QStringList places = folders_;
        for (QString& place : places) place = QDir::cleanPath(place);
        places << QStringLiteral("the system's library path");
        problem = QStringLiteral("Cannot load the %1 library: looked in %2 (%3).")
                      .arg(name_, places.join(QStringLiteral(", ")),
                           QString::fromLocal8Bit(error.c_str()))
                      .toLocal8Bit()
                      .toStdString();
        return false;
    }

    QString name_;
    QStringList folders_;
    platform::SharedLibrary library_;
    QString loaded_;
    decltype(&::LumetraFreeString) free_ = nullptr;
};

}  // namespace

LumetraBinding::LumetraBinding(QString name, QStringList folders)
    : LumetraCalls(std::make_unique<LibraryFile>(std::move(name), std::move(folders))) {}

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
