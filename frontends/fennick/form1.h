// The "Configure Port 2" window: a unit address and five serial-port
// settings, handed to the LUMETRALib.Lumetra control when OK is pressed. The
// OK button's colour shows the answer: green sent, red not sent.
#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "frontends/control/control.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace fennick {

class Form1 : public QDialog {
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
    QComboBox* addCombo(const char* name, const QStringList& items, const QString& text,
                        const QRect& geometry);
    void showNeutral();
    void showAnswer(const QColor& colour, const QString& why = {});
    template <typename Int>
    std::optional<Int> readNumber(const QComboBox* combo, const QString& field);

    std::unique_ptr<frontends::Control> lumetra1_;
    QLineEdit* ip_ = nullptr;
    QComboBox* dataRate_ = nullptr;     // Combo3
    QComboBox* dataBits_ = nullptr;     // Combo4
    QComboBox* parity_ = nullptr;       // Combo5
    QComboBox* stopBits_ = nullptr;     // Combo6
    QComboBox* flowControl_ = nullptr;  // Combo1
    QPushButton* ok_ = nullptr;         // Command1
    QPushButton* exit_ = nullptr;       // Command2
};

}  // namespace fennick
