// SPDX-License-Identifier: Apache-2.0
// The "Configure Port 2" window on Qt: a thin view over Form1Logic, which
// decides OK's state and colour and makes the control call.
#pragma once

#include <QColor>
#include <QDialog>
#include <map>

#include "frontends/fennick/form1_logic.h"
#include "ui/qt/colour_button.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace fennick {

class Form1 : public QDialog, private Form1View {
    Q_OBJECT

  public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // OK's colours after an answer; the neutral colour is the style's button face.
    static const QColor kSent;
    static const QColor kNotSent;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private slots:
    void onAddressChanged();
    void onItemPicked();
    void onOkClicked();
    void onExitClicked();

  private:
    void buildUi();
    QComboBox* addCombo(const ComboSpec& spec);

    // Form1View
    std::string text(Field field) const override;
    void setOkEnabled(bool enabled) override;
    void showOkColour(const ui::Colour& colour, std::string_view why) override;
    void closeWindow() override;

    QLineEdit* ip_ = nullptr;
    std::map<Field, QComboBox*> combos_;
    ui::ColourButton* ok_ = nullptr;  // Command1, showing the answer's colour
    QPushButton* exit_ = nullptr;     // Command2
    Form1Logic logic_{*this};
};

}  // namespace fennick
