// SPDX-License-Identifier: Apache-2.0
// The logic of the "Configure Port 2" window, without a window toolkit: its
// layout, OK's enabled state and colour, and the one call to the
// LUMETRALib.Lumetra control that OK makes. A view (Qt or Win32) builds the
// widgets from the layout tables and forwards its events here.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "frontends/control/control.h"
#include "frontends/fennick/form1_view.h"
#include "ui/control_spec.h"
#include "ui/twips.h"

namespace fennick {

struct ComboSpec {
    const char* name;
    Field field;
    std::vector<const char*> items;
    const char* initialText;
    ui::TwipsRect place;
};

inline constexpr const char* kUsage =
    "Usage: Fennick\n"
    "Opens the \"Configure Port 2\" window: type a unit's address, choose the\n"
    "settings of its second serial port and press OK. OK turns green when the\n"
    "settings were sent to the unit's port 1283, red when they were not (hover\n"
    "over it to see why). Exit or Escape ends the program.\n";

inline constexpr const char* kTitle = "Configure Port 2";
inline constexpr int kClientWidth = 4680;  // twips
inline constexpr int kClientHeight = 5715;

std::span<const ui::ControlSpec> labels();
// The address box `IP`, empty at start.
inline constexpr ui::TwipsRect kAddressPlace{2040, 360, 1815, 315};
std::span<const ComboSpec> combos();
inline constexpr ui::ControlSpec kOkButton{"Command1", "OK", {600, 4800, 1455, 495}};
inline constexpr ui::ControlSpec kExitButton{"Command2", "Exit", {2640, 4800, 1455, 495}};

// OK's colours after an answer: exact green when the settings were sent,
// exact red when they were not.
inline constexpr ui::Colour kSentColour = ui::kGreen;
inline constexpr ui::Colour kNotSentColour = ui::kRed;

class Form1Logic {
  public:
    // Makes the control by its registered name (none: every OK turns red).
    explicit Form1Logic(Form1View& view);

    bool okEnabled() const { return okEnabled_; }

    // Window events.
    void addressChanged();
    void itemPicked();
    // OK pressed (a click, or Enter as the default button); nothing while
    // OK is disabled.
    void okPressed();
    // Exit pressed (or Escape, the cancel button): ends without a call.
    void exitPressed();

  private:
    void setOkEnabled(bool enabled);
    void answer(const ui::Colour& colour, std::string_view why = {});
    template <typename Int>
    std::optional<Int> number(Field field, const char* name);

    Form1View& view_;
    std::unique_ptr<frontends::Control> lumetra1_;
    bool okEnabled_ = false;
};

}  // namespace fennick
