// SPDX-License-Identifier: Apache-2.0
// What the "Configure Port 2" window logic needs of a window toolkit: the
// texts of its fields, OK's state and colour, and closing. The Qt and Win32
// views implement it; the logic decides everything else.
#pragma once

#include <string>
#include <string_view>

#include "ui/colour.h"

namespace fennick {

// The fields whose texts OK sends, in the order of the control's arguments.
enum class Field { Address, DataRate, DataBits, Parity, StopBits, FlowControl };

class Form1View {
  public:
    virtual ~Form1View() = default;
    // The text of `field` as it is now (typed or picked).
    virtual std::string text(Field field) const = 0;
    virtual void setOkEnabled(bool enabled) = 0;
    // OK's background (the button face, or the exact green or red of an
    // answer), with a note on why it is red (empty: none) that the view
    // shows where it can (a tool tip).
    virtual void showOkColour(const ui::Colour& colour, std::string_view why) = 0;
    // Ends the window (and with it the program).
    virtual void closeWindow() = 0;
};

}  // namespace fennick
