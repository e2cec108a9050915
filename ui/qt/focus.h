// SPDX-License-Identifier: Apache-2.0
// The focus rule of the Qt views, the one the Win32 views follow
// (ui/win32/focus.h): Qt itself moves the focus on when the focused widget
// is disabled or hidden, but when no other widget can take it the window is
// left without focus; a widget enabled or shown then takes it, so the keys
// keep working.
#pragma once

class QWidget;

namespace ui::qt {

void setEnabled(QWidget* widget, bool enabled);
void setVisible(QWidget* widget, bool visible);

}  // namespace ui::qt
