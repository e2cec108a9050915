// SPDX-License-Identifier: Apache-2.0
// Colours that window logic hands its views: exact RGB values, or the
// system's button face, which each toolkit knows by its own name.
#pragma once

#include <cstdint>

namespace ui {

struct Colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool buttonFace = false;  // the system's button colour; red, green, blue unused

    friend constexpr bool operator==(const Colour& a, const Colour& b) {
        if (a.buttonFace || b.buttonFace)
            return a.buttonFace == b.buttonFace;
        return a.red == b.red && a.green == b.green && a.blue == b.blue;
    }
};

inline constexpr Colour kButtonFace{0, 0, 0, true};
inline constexpr Colour kYellow{255, 255, 0};
inline constexpr Colour kGreen{0, 255, 0};
inline constexpr Colour kBlue{0, 0, 255};
inline constexpr Colour kRed{255, 0, 0};
inline constexpr Colour kWhite{255, 255, 255};
inline constexpr Colour kBlack{0, 0, 0};

}  // namespace ui
