#include "frontends/control/control.h"

#include <QHash>
#include <limits>

namespace frontends {

namespace {

QHash<QString, ControlMaker>& registry() {
    static QHash<QString, ControlMaker> makers;
    return makers;
}

template <typename Int>
std::optional<Int> toWhole(const QVariant& value) {
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    qlonglong whole = 0;
    switch (value.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
            return std::nullopt;  // a fraction is no 16- or 32-bit result
        case QMetaType::QString:
            whole = value.toString().trimmed().toLongLong(&ok);
            break;
        default:
            whole = value.toLongLong(&ok);
            break;
    }
    if (!ok || whole < std::numeric_limits<Int>::min() || whole > std::numeric_limits<Int>::max())
        return std::nullopt;
    return static_cast<Int>(whole);
}

bool isIntegerKind(int typeId) {
    switch (typeId) {
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            return true;
        default:
            return false;
    }
}

template <typename Int>
std::optional<Int> integerArgument(const QVariant& value) {
    if (!isIntegerKind(value.typeId()))
        return std::nullopt;
    if (value.typeId() == QMetaType::ULongLong &&
        value.toULongLong() > qulonglong(std::numeric_limits<Int>::max()))
        return std::nullopt;
    const qlonglong whole = value.toLongLong();
    if (whole < std::numeric_limits<Int>::min() || whole > std::numeric_limits<Int>::max())
        return std::nullopt;
    return static_cast<Int>(whole);
}

}  // namespace

std::optional<QString> stringArgument(const QVariant& value) {
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<qint16> int16Argument(const QVariant& value) {
    return integerArgument<qint16>(value);
}

std::optional<qint32> int32Argument(const QVariant& value) {
    return integerArgument<qint32>(value);
}

void registerControl(const QString& name, ControlMaker maker) {
    registry().insert(name, std::move(maker));
}

void unregisterControl(const QString& name) {
    registry().remove(name);
}

std::unique_ptr<Control> createControl(const QString& name) {
    auto found = registry().constFind(name);
    if (found == registry().constEnd() || !*found)
        return nullptr;
    return (*found)();
}

std::optional<qint16> toInt16(const QVariant& value) {
    return toWhole<qint16>(value);
}
std::optional<qint32> toInt32(const QVariant& value) {
    return toWhole<qint32>(value);
}

}  // namespace frontends
