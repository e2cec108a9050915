// SPDX-License-Identifier: Apache-2.0
// Where the window's resizable controls go for a given client size. All
// figures are twips (15 to a pixel), the unit the window is designed in.
#pragma once

#include "ui/twips.h"

namespace veltrin {

// Design positions that the rule keeps or starts from.
inline constexpr int kMargin = 240;        // left of the Read Modes button
inline constexpr int kGridTop = 1680;      // the grid and the help pane
inline constexpr int kStatusHeight = 975;  // the status line
inline constexpr int kOkWidth = 1455;      // the help view's Ok button
inline constexpr int kOkHeight = 495;
inline constexpr int kScrollBarRoom = 280;  // grid scroll bar and borders

struct Layout {
    bool apply = false;       // false for a minimised window: change nothing
    bool compressed = false;  // client shorter than the grid's top
    ui::TwipsRect status;
    ui::TwipsRect help;
    ui::TwipsRect ok;
    ui::TwipsRect grid;
    int columns[3] = {0, 0, 0};
    int editorLeft = 0;  // the value editor's top and height follow the entered cell
    int editorWidth = 0;
};

// The layout for a client area of the given size. No size comes out
// negative: sizes below what the rule can fit are clamped at 0.
Layout layoutFor(int clientWidth, int clientHeight);

}  // namespace veltrin
