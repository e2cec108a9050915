// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/layout_rule.h"

#include <algorithm>
#include <cmath>

namespace veltrin {

namespace {

int atLeastZero(double value) {
    return std::max(0, static_cast<int>(std::lround(value)));
}

}  // namespace

Layout layoutFor(int clientWidth, int clientHeight) {
    Layout out;
    if (clientWidth <= 0)
        return out;
    out.apply = true;
    // A client shorter than the grid's top is laid out as if it were just
    // tall enough for the status line below it, then scaled onto the real
    // height, so the status line stays in sight.
    double height = clientHeight;
    double scale = 1.0;
    if (clientHeight < kGridTop) {
        out.compressed = true;
        height = kGridTop + kStatusHeight;
        scale = clientHeight / height;
    }
    const int w = clientWidth - 2 * kMargin;
    const double statusTop = height - (kMargin + kStatusHeight);

    out.status = {kMargin, atLeastZero(statusTop * scale), std::max(0, w),
                  atLeastZero(kStatusHeight * scale)};
    out.help = {kMargin, kGridTop, std::max(0, w),
                atLeastZero((height - (kGridTop + kMargin)) * scale)};
    out.ok = {atLeastZero((clientWidth - kOkWidth) / 2.0),
              atLeastZero((height - (2 * kMargin + kOkHeight)) * scale), kOkWidth, kOkHeight};
    out.grid = {kMargin, kGridTop, std::max(0, w),
                atLeastZero((statusTop - (kGridTop + kMargin)) * scale)};

    const int column0 = atLeastZero((w - kScrollBarRoom) / 5.0);
    out.columns[0] = column0;
    out.columns[1] = 2 * column0;
    out.columns[2] = 2 * column0;
    out.editorLeft = column0 + kMargin + out.columns[1];
    out.editorWidth = out.columns[2];
    return out;
}

}  // namespace veltrin
