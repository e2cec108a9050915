// SPDX-License-Identifier: Apache-2.0
#include "ui/qt/colour_button.h"

#include <QApplication>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace ui {

QColor toQColor(const Colour& colour) {
    if (colour.buttonFace)
        return QApplication::palette().color(QPalette::Button);
    return QColor(colour.red, colour.green, colour.blue);
}

ColourButton::ColourButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {}

void ColourButton::setColour(const Colour& colour) {
    colour_ = colour;
    QPalette palette = QApplication::palette(this);
    if (!colour.buttonFace)
        palette.setColor(QPalette::Button, toQColor(colour));
    setPalette(palette);
    update();
}

void ColourButton::paintEvent(QPaintEvent* event) {
    if (colour_.buttonFace) {
        QPushButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect face = rect();
    painter.fillRect(face, toQColor(colour_));
    // A plain frame: light above and left, dark below and right; swapped
    // while the button is down.
    const bool down = isDown() || isChecked();
    const QColor light = down ? QColor(64, 64, 64) : QColor(255, 255, 255);
    const QColor dark = down ? QColor(255, 255, 255) : QColor(64, 64, 64);
    painter.setPen(light);
    painter.drawLine(face.topLeft(), face.topRight());
    painter.drawLine(face.topLeft(), face.bottomLeft());
    painter.setPen(dark);
    painter.drawLine(face.bottomLeft(), face.bottomRight());
    painter.drawLine(face.topRight(), face.bottomRight());
    // Black captions on the signal colours, grey when disabled.
    option.palette.setColor(QPalette::ButtonText, QColor(0, 0, 0));
    option.palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(96, 96, 96));
    painter.drawControl(QStyle::CE_PushButtonLabel, option);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = face.adjusted(4, 4, -4, -4);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

}  // namespace ui
