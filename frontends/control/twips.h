// Window layouts are given in twips; the screen has 15 twips to a pixel.
// The layout tables of the window logic use TwipsRect; each view turns it
// into its toolkit's own rectangle.
#pragma once

namespace frontends {

inline constexpr int kTwipsPerPixel = 15;

struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

constexpr int twipsToPixels(int twips) {
    return twips / kTwipsPerPixel;
}

constexpr PixelRect toPixels(TwipsRect r) {
    return {twipsToPixels(r.left), twipsToPixels(r.top), twipsToPixels(r.width),
            twipsToPixels(r.height)};
}

}  // namespace frontends
