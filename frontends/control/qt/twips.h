// SPDX-License-Identifier: Apache-2.0
// Twips layouts as Qt rectangles.
#pragma once

#include <QRect>
#include <QSize>

#include "ui/twips.h"

namespace frontends {

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(ui::twipsToPixels(left), ui::twipsToPixels(top), ui::twipsToPixels(width),
                 ui::twipsToPixels(height));
}

inline QRect twipsRect(ui::TwipsRect r) {
    return twipsRect(r.left, r.top, r.width, r.height);
}

inline QSize twipsSize(int width, int height) {
    return QSize(ui::twipsToPixels(width), ui::twipsToPixels(height));
}

}  // namespace frontends
