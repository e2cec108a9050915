// SPDX-License-Identifier: Apache-2.0
#include "frontends/fennick/lumetra_control.h"

#include "frontends/fennick/lumetra_fennick.h"

namespace fennick {

frontends::Value LumetraControl::invoke(int dispatchId, frontends::Arguments& args) {
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
    problem_.clear();
    const auto result =
        callFennick({*address, *speed, *dataBits, *parity, *stopBits, *flow}, problem_);
    if (!result)
        return {};
    return *result;
}

void registerLumetraControl() {
    frontends::registerControl(frontends::kLumetraControlName,
                               [] { return std::make_unique<LumetraControl>(); });
}

}  // namespace fennick
