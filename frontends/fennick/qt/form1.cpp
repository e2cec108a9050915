// SPDX-License-Identifier: Apache-2.0
#include "frontends/fennick/qt/form1.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "frontends/control/qt/twips.h"
#include "ui/qt/focus.h"
#include "ui/qt/text.h"

namespace fennick {

using frontends::twipsRect;

const QColor Form1::kSent = ui::toQColor(kSentColour);
const QColor Form1::kNotSent = ui::toQColor(kNotSentColour);

namespace {

// The combo boxes are editable, but typing into one is not a pick: Enter in
// its text field goes to the window (and its default button, OK) instead of
// being taken as the choice of a matching list item.
class PickComboBox : public QComboBox {
  public:
    using QComboBox::QComboBox;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && !view()->isVisible()) {
            event->ignore();
            return;
        }
        QComboBox::keyPressEvent(event);
    }
};

// The labels end where their field begins. When the font on this system is
// wider than the one the layout was drawn with, a label grows to the left so
// its whole caption shows.
void addLabel(QWidget* parent, const ui::ControlSpec& spec) {
    auto* label = new QLabel(QString::fromUtf8(spec.caption), parent);
    label->setObjectName(QString::fromLatin1(spec.name));
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    QRect box = twipsRect(spec.place);
    const int needed = label->sizeHint().width();
    if (needed > box.width())
        box.setLeft(std::max(0, box.right() + 1 - needed));
    label->setGeometry(box);
}

template <typename Button = QPushButton>
Button* addButton(QWidget* parent, const ui::ControlSpec& spec) {
    auto* button = new Button(QString::fromUtf8(spec.caption), parent);
    button->setObjectName(QString::fromLatin1(spec.name));
    button->setGeometry(twipsRect(spec.place));
    return button;
}

}  // namespace

Form1::Form1(QWidget* parent) : QDialog(parent) {
    buildUi();
    ip_->setFocus();
}

Form1::~Form1() = default;

void Form1::buildUi() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(kTitle));
    setFixedSize(frontends::twipsSize(kClientWidth, kClientHeight));

    for (const ui::ControlSpec& label : labels()) addLabel(this, label);
    ip_ = new QLineEdit(this);
    ip_->setObjectName(QStringLiteral("IP"));
    ip_->setGeometry(twipsRect(kAddressPlace));
    for (const ComboSpec& combo : combos()) combos_[combo.field] = addCombo(combo);

    ok_ = addButton<ui::ColourButton>(this, kOkButton);
    ok_->setDefault(true);
    ok_->setEnabled(false);
    exit_ = addButton(this, kExitButton);
    // Enter on the focused Exit presses Exit, not the default button OK.
    exit_->setAutoDefault(true);

    connect(ip_, &QLineEdit::textChanged, this, &Form1::onAddressChanged);
    for (auto& [field, combo] : combos_)
        connect(combo, &QComboBox::activated, this, &Form1::onItemPicked);
    connect(ok_, &QPushButton::clicked, this, &Form1::onOkClicked);
    connect(exit_, &QPushButton::clicked, this, &Form1::onExitClicked);
}

QComboBox* Form1::addCombo(const ComboSpec& spec) {
    auto* combo = new PickComboBox(this);
    combo->setObjectName(QString::fromLatin1(spec.name));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    for (const char* item : spec.items) combo->addItem(QString::fromUtf8(item));
    const QString text = QString::fromUtf8(spec.initialText);
    combo->setCurrentIndex(combo->findText(text));  // the arrow keys start from there
    combo->setEditText(text);
    combo->setGeometry(twipsRect(spec.place));
    return combo;
}

void Form1::keyPressEvent(QKeyEvent* event) {
    // Exit is the cancel button: Escape presses it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        exit_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form1::onAddressChanged() {
    logic_.addressChanged();
}

void Form1::onItemPicked() {
    logic_.itemPicked();
}

void Form1::onOkClicked() {
    logic_.okPressed();
}

void Form1::onExitClicked() {
    logic_.exitPressed();
}

std::string Form1::text(Field field) const {
    if (field == Field::Address)
        return ui::qt::narrow(ip_->text());
    return ui::qt::narrow(combos_.at(field)->currentText());
}

void Form1::setOkEnabled(bool enabled) {
    ui::qt::setEnabled(ok_, enabled);
}

void Form1::showOkColour(const ui::Colour& colour, std::string_view why) {
    ok_->setColour(colour);
    ok_->setToolTip(ui::qt::widen(why));  // the library's text, 8-bit like every other
}

void Form1::closeWindow() {
    QDialog::close();
}

}  // namespace fennick
