#include "veltrin/lumetra_binding.h"

#include <QCoreApplication>
#include <QDir>
#include <cstring>

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

}  // namespace

LumetraBinding::LumetraBinding(QString name, QStringList folders)
    : name_(std::move(name)), folders_(std::move(folders)) {}

QStringList LumetraBinding::defaultFolders() {
    const QString program = QCoreApplication::applicationDirPath();
    return {program, QDir(program).filePath(QStringLiteral(VELTRIN_LIB_FROM_BIN))};
}

bool LumetraBinding::load() {
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
    problem_ = QStringLiteral("Cannot load the %1 library: looked in %2 (%3).")
                   .arg(name_, places.join(QStringLiteral(", ")), library_.errorString());
    return false;
}

QFunctionPointer LumetraBinding::resolve(const char* symbol) {
    if (!load())
        return nullptr;
    QFunctionPointer fn = library_.resolve(symbol);
    if (fn == nullptr) {
        problem_ = QStringLiteral("The %1 library %2 has no function %3.")
                       .arg(name_, library_.fileName(), QLatin1String(symbol));
    }
    return fn;
}

QString LumetraBinding::takeProblem() {
    return std::exchange(problem_, QString());
}

QString LumetraBinding::text(LumetraString result) {
    if (result == nullptr)
        return {};
    QString widened = QString::fromLatin1(result, static_cast<qsizetype>(std::strlen(result)));
    if (auto release = bound(free_, "LumetraFreeString"))
        release(result);
    return widened;
}

short LumetraBinding::open(const QString& address) {
    auto fn = bound(open_, "uxOpen");
    return fn != nullptr ? fn(address.toLatin1().constData()) : 0;
}

short LumetraBinding::reOpen(const QString& address) {
    auto fn = bound(reOpen_, "ReOpen");
    return fn != nullptr ? fn(address.toLatin1().constData()) : 0;
}

void LumetraBinding::close() {
    if (auto fn = bound(close_, "uxClose"))
        fn();
}

short LumetraBinding::lastError() {
    auto fn = bound(lastError_, "uxGetLastError");
    return fn != nullptr ? fn() : 0;
}

QString LumetraBinding::firstModeName() {
    auto fn = bound(firstName_, "GetFirstModeName");
    return fn != nullptr ? text(fn()) : QString();
}

QString LumetraBinding::nextModeName() {
    auto fn = bound(nextName_, "GetNextModeName");
    return fn != nullptr ? text(fn()) : QString();
}

QString LumetraBinding::modeType(const QString& name) {
    auto fn = bound(type_, "GetModeType");
    return fn != nullptr ? text(fn(name.toLatin1().constData())) : QString();
}

QString LumetraBinding::modeHelp(const QString& name) {
    auto fn = bound(help_, "GetModeHelp");
    return fn != nullptr ? text(fn(name.toLatin1().constData())) : QString();
}

short LumetraBinding::modeSize(const QString& name) {
    auto fn = bound(size_, "GetModeSize");
    return fn != nullptr ? fn(name.toLatin1().constData()) : 0;
}

QString LumetraBinding::nvRamMode(const QString& name) {
    auto fn = bound(nvRam_, "GetNVRamMode");
    return fn != nullptr ? text(fn(name.toLatin1().constData())) : QString();
}

QString LumetraBinding::mode(const QString& name) {
    auto fn = bound(mode_, "GetMode");
    return fn != nullptr ? text(fn(name.toLatin1().constData())) : QString();
}

bool LumetraBinding::setMode(const QString& name, const QString& value) {
    auto fn = bound(setMode_, "uxSetMode");
    return fn != nullptr && fn(name.toLatin1().constData(), value.toLatin1().constData()) != 0;
}

void LumetraBinding::commit() {
    if (auto fn = bound(commit_, "uxCommit"))
        fn();
}

void LumetraBinding::restart() {
    if (auto fn = bound(restart_, "uxRestart"))
        fn();
}

}  // namespace veltrin
