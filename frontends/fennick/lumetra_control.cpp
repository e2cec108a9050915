#include "frontends/fennick/lumetra_control.h"

#include <limits>
#include <optional>

#include "lumetra/lumetra.h"

namespace fennick {

namespace {

std::optional<QByteArray> stringArg(const QVariant& value) {
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString().toUtf8();
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
std::optional<Int> integerArg(const QVariant& value) {
    if (!isIntegerKind(value.typeId()))
        return std::nullopt;
    if (value.typeId() == QMetaType::ULongLong &&
        value.toULongLong() > qulonglong(std::numeric_limits<Int>::max()))
        return std::nullopt;
    qlonglong whole = value.toLongLong();
    if (whole < std::numeric_limits<Int>::min() || whole > std::numeric_limits<Int>::max())
        return std::nullopt;
    return static_cast<Int>(whole);
}

}  // namespace

QVariant LumetraControl::invoke(int dispatchId, QVariantList& args) {
    if (dispatchId != kSetPort2 || args.size() != 6)
        return {};
    auto address = stringArg(args[0]);
    auto speed = integerArg<qint32>(args[1]);
    auto dataBits = integerArg<qint16>(args[2]);
    auto parity = stringArg(args[3]);
    auto stopBits = integerArg<qint16>(args[4]);
    auto flow = stringArg(args[5]);
    if (!address || !speed || !dataBits || !parity || !stopBits || !flow)
        return {};
    qint16 result = Fennick(address->constData(), *speed, *dataBits, parity->constData(), *stopBits,
                            flow->constData());
    return QVariant::fromValue<qint16>(result);
}

void registerLumetraControl() {
    frontends::registerControl(frontends::kLumetraControlName,
                               [] { return std::make_unique<LumetraControl>(); });
}

}  // namespace fennick
