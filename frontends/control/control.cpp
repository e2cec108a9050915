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

}  // namespace

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
