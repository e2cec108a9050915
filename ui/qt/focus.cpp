// SPDX-License-Identifier: Apache-2.0
#include "ui/qt/focus.h"

#include <QWidget>

namespace ui::qt {

namespace {

void takeFocusIfNone(QWidget* widget) {
    if (widget->window()->focusWidget() == nullptr && widget->isEnabled() && widget->isVisible() &&
        widget->focusPolicy() != Qt::NoFocus)
        widget->setFocus(Qt::OtherFocusReason);
}

}  // namespace

void setEnabled(QWidget* widget, bool enabled) {
    widget->setEnabled(enabled);
    if (enabled)
        takeFocusIfNone(widget);
}

void setVisible(QWidget* widget, bool visible) {
    widget->setVisible(visible);
    if (visible)
        takeFocusIfNone(widget);
}

}  // namespace ui::qt
