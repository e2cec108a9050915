// Window layouts are given in twips (15 to a pixel, ui/colour.h). The layout
// tables of the window logic use TwipsRect; each view turns it into its
// toolkit's own rectangle.
#pragma once

#include "ui/colour.h"

namespace frontends {

struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

}  // namespace frontends
