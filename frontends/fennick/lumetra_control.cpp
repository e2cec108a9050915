#include "frontends/fennick/lumetra_control.h"

#include "lumetra/lumetra.h"

namespace fennick {

QVariant LumetraControl::invoke(int dispatchId, QVariantList& args) {
    if (dispatchId != kSetPort2 || args.size() != 6)
        return {};
    using namespace frontends;
    const auto address = stringArgument(args[0]);
    const auto speed = int32Argument(args[1]);
    const auto dataBits = int16Argument(args[2]);
    const auto parity = stringArgument(args[3]);
    const auto stopBits = int16Argument(args[4]);
    const auto flow = stringArgument(args[5]);
    if (!address || !speed || !dataBits || !parity || !stopBits || !flow)
        return {};
    const qint16 result =
        Fennick(address->toUtf8().constData(), *speed, *dataBits, parity->toUtf8().constData(),
                *stopBits, flow->toUtf8().constData());
    return QVariant::fromValue<qint16>(result);
}

void registerLumetraControl() {
    frontends::registerControl(frontends::kLumetraControlName,
                               [] { return std::make_unique<LumetraControl>(); });
}

}  // namespace fennick
