// SPDX-License-Identifier: Apache-2.0
// A push button that shows an exact background colour. Styles paint a
// button's palette colour as they like (Fusion as a lightened gradient, a
// native style not at all), so a coloured button paints its face itself and
// leaves only the caption and focus frame to the style. The neutral colour is
// the style's own button, painted by the style.
#pragma once

#include <QPushButton>

#include "ui/colour.h"

namespace ui {

class ColourButton : public QPushButton {
    Q_OBJECT

  public:
    explicit ColourButton(const QString& caption, QWidget* parent = nullptr);

    // Also sets the palette's button colour, so the colour can be read back
    // from the palette as from any button.
    void setColour(const Colour& colour);
    Colour colour() const { return colour_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Colour colour_ = kButtonFace;
};

// The QColor of `colour`; the button face is the application style's.
QColor toQColor(const Colour& colour);

}  // namespace ui
