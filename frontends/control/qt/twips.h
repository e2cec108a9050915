// Twips layouts as Qt rectangles (15 twips to a pixel).
#pragma once

#include <QRect>
#include <QSize>

#include "frontends/control/twips.h"

namespace frontends {

inline QRect twipsRect(int left, int top, int width, int height) {
    const PixelRect p = toPixels({left, top, width, height});
    return QRect(p.left, p.top, p.width, p.height);
}

inline QRect twipsRect(TwipsRect r) {
    return twipsRect(r.left, r.top, r.width, r.height);
}

inline QSize twipsSize(int width, int height) {
    return QSize(twipsToPixels(width), twipsToPixels(height));
}

}  // namespace frontends
