// SPDX-License-Identifier: Apache-2.0
// The colour button's face carries the exact colour on every style Qt has
// here, and the neutral button is left to the style.
#include "ui/qt/colour_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QStyleFactory>

#include "ui/twips.h"

namespace {

QApplication& app() {
    static int argc = 1;
    static char name[] = "ui_qt_test";
    static char* argv[] = {name, nullptr};
    static QApplication instance(argc, argv);
    return instance;
}

TEST(ColourButton, FaceIsTheExactColourOnEveryStyle) {
    app();
    const ui::Colour colours[] = {ui::kRed, ui::kGreen, ui::kYellow};
    for (const QString& styleName : QStyleFactory::keys()) {
        QApplication::setStyle(QStyleFactory::create(styleName));
        for (const ui::Colour& colour : colours) {
            ui::ColourButton button(QStringLiteral("Set Mode"));
            button.resize(81, 33);
            button.setColour(colour);
            const QImage image = button.grab().toImage();
            // Inside the frame, left of the caption.
            const QColor pixel = image.pixelColor(4, image.height() / 2);
            EXPECT_EQ(pixel, QColor(colour.red, colour.green, colour.blue))
                << styleName.toStdString() << " " << pixel.name().toStdString();
            EXPECT_EQ(button.palette().color(QPalette::Button), ui::toQColor(colour));
        }
    }
}

TEST(ColourButton, ButtonFaceIsTheStylesOwn) {
    app();
    ui::ColourButton button(QStringLiteral("Commit"));
    button.setColour(ui::kRed);
    button.setColour(ui::kButtonFace);
    EXPECT_TRUE(button.colour().buttonFace);
    EXPECT_EQ(button.palette().color(QPalette::Button),
              QApplication::palette().color(QPalette::Button));
}

TEST(Twips, FifteenToAPixelRounded) {
    EXPECT_EQ(ui::twipsToPixels(9795), 653);
    EXPECT_EQ(ui::twipsToPixels(7), 0);
    EXPECT_EQ(ui::twipsToPixels(8), 1);
    EXPECT_EQ(ui::twipsToPixels(-8), -1);
}

}  // namespace
