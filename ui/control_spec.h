// SPDX-License-Identifier: Apache-2.0
// One row of a window's control table, as the toolkit-free window logic
// holds it: the control's name on the form (the views give it to their
// widget, and the tests find it by it), its caption or first text, and its
// place in twips. The views only map these rows to their widgets.
#pragma once

#include "ui/twips.h"

namespace ui {

struct ControlSpec {
    const char* name;
    const char* caption;
    TwipsRect place;
};

}  // namespace ui
