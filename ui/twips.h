// SPDX-License-Identifier: Apache-2.0
// The windows are designed in twips (1/1440 inch): positions and sizes in
// the window logic's control tables are twips rectangles, and each view turns
// them into its toolkit's pixels (15 twips to a pixel at 96 dots per inch;
// the Win32 views scale with the screen's DPI, ui/win32/window.h).
#pragma once

namespace ui {

struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend constexpr bool operator==(const TwipsRect&, const TwipsRect&) = default;
};

inline constexpr int kTwipsPerPixel = 15;

// Rounded to the nearest pixel at 96 dots per inch.
constexpr int twipsToPixels(int twips) {
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

}  // namespace ui
