// SPDX-License-Identifier: Apache-2.0
#include "frontends/fennick/lumetra_fennick.h"

#include "lumetra/lumetra.h"

namespace fennick {

std::optional<std::int16_t> callFennick(const PortSettings& s, std::string&) {
    return Fennick(s.address.c_str(), s.speed, s.dataBits, s.parity.c_str(), s.stopBits,
                   s.flow.c_str());
}

}  // namespace fennick
