// The signal colours of the Veltrin window's cells and buttons.
#pragma once

#include <QApplication>
#include <QColor>
#include <QPalette>

namespace veltrin {

inline const QColor kYellow(255, 255, 0);
inline const QColor kGreen(0, 255, 0);
inline const QColor kBlue(0, 0, 255);
inline const QColor kRed(255, 0, 0);
inline const QColor kWhite(255, 255, 255);
inline const QColor kBlack(0, 0, 0);

// The neutral colour: the style's button colour.
inline QColor buttonFace() {
    return QApplication::palette().color(QPalette::Button);
}

}  // namespace veltrin
