// SPDX-License-Identifier: Apache-2.0
// Stand-in for the outside control LUMETRALib.Lumetra: one method, dispatch
// id 1, that hands a unit address and serial-port-2 settings to the Lumetra
// library's Fennick export (lumetra_fennick.h: linked on Linux, Lumetra.dll
// bound at run time on Windows) and returns its 16-bit result: 1 when the settings were sent, 0
// when the unit was not reached.
#pragma once

#include "frontends/control/control.h"

namespace fennick {

// Arguments of dispatch id 1, in order: unit address (string), data rate
// (32-bit integer), data bits (16-bit integer), parity (string), stop bits
// (16-bit integer), flow control (string). Integers may come as any integer
// kind whose value fits; strings must be strings. Any other id, count or kind
// gives an empty Value and calls nothing.
inline constexpr int kSetPort2 = 1;

class LumetraControl : public frontends::Control {
  public:
    frontends::Value invoke(int dispatchId, frontends::Arguments& args) override;
    std::string problem() const override { return problem_; }

  private:
    std::string problem_;
};

// Registers LumetraControl under its name, LUMETRALib.Lumetra.
void registerLumetraControl();

}  // namespace fennick
