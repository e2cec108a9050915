#include "frontends/fennick/form1.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <limits>

#include "frontends/control/twips.h"
#include "frontends/fennick/lumetra_control.h"

namespace fennick {

using frontends::twipsRect;

const QColor Form1::kSent(0, 255, 0);
const QColor Form1::kNotSent(255, 0, 0);

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
QLabel* addLabel(QWidget* parent, const char* name, const QString& caption, const QRect& geometry) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    QRect box = geometry;
    const int needed = label->sizeHint().width();
    if (needed > box.width())
        box.setLeft(std::max(0, box.right() + 1 - needed));
    label->setGeometry(box);
    return label;
}

}  // namespace

Form1::Form1(QWidget* parent) : QDialog(parent) {
    buildUi();
    lumetra1_ = frontends::createControl(frontends::kLumetraControlName);
    ip_->setFocus();
}

Form1::~Form1() = default;

void Form1::buildUi() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Configure Port 2"));
    setFixedSize(frontends::twipsSize(4680, 5715));

    addLabel(this, "Label1", QStringLiteral("Unit IP Address:"), twipsRect(600, 360, 1215, 375));
    ip_ = new QLineEdit(this);
    ip_->setObjectName(QStringLiteral("IP"));
    ip_->setGeometry(twipsRect(2040, 360, 1815, 315));

    addLabel(this, "Label2", QStringLiteral("Data Rate:"), twipsRect(960, 1080, 855, 375));
    dataRate_ = addCombo("Combo3",
                         {"110", "300", "1200", "2400", "4800", "9600", "19200", "38400", "57600",
                          "115200", "230400", "460800", "921600"},
                         QStringLiteral("9600"), twipsRect(2040, 1080, 1815, 315));
    addLabel(this, "Label3", QStringLiteral("Data Bits:"), twipsRect(1080, 1800, 735, 375));
    dataBits_ =
        addCombo("Combo4", {"7", "8"}, QStringLiteral("8"), twipsRect(2040, 1800, 1815, 315));
    addLabel(this, "Label4", QStringLiteral("Parity:"), twipsRect(1320, 2520, 495, 375));
    parity_ = addCombo("Combo5", {"Even", "Odd", "None"}, QStringLiteral("None"),
                       twipsRect(2040, 2520, 1815, 315));
    addLabel(this, "Label5", QStringLiteral("Stop Bits:"), twipsRect(1080, 3240, 735, 375));
    stopBits_ =
        addCombo("Combo6", {"1", "2"}, QStringLiteral("1"), twipsRect(2040, 3240, 1815, 315));
    addLabel(this, "Label6", QStringLiteral("Flow control:"), twipsRect(840, 3960, 975, 375));
    flowControl_ = addCombo("Combo1", {"Xon / Xoff", "Hardware", "None"},
                            QStringLiteral("Hardware"), twipsRect(2040, 3960, 1815, 315));

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("Command1"));
    ok_->setGeometry(twipsRect(600, 4800, 1455, 495));
    ok_->setDefault(true);
    ok_->setEnabled(false);
    exit_ = new QPushButton(QStringLiteral("Exit"), this);
    exit_->setObjectName(QStringLiteral("Command2"));
    exit_->setGeometry(twipsRect(2640, 4800, 1455, 495));
    exit_->setAutoDefault(false);

    connect(ip_, &QLineEdit::textChanged, this, &Form1::onAddressChanged);
    for (QComboBox* combo : {dataRate_, dataBits_, parity_, stopBits_, flowControl_})
        connect(combo, &QComboBox::activated, this, &Form1::onItemPicked);
    connect(ok_, &QPushButton::clicked, this, &Form1::onOkClicked);
    connect(exit_, &QPushButton::clicked, this, &Form1::onExitClicked);
}

QComboBox* Form1::addCombo(const char* name, const QStringList& items, const QString& text,
                           const QRect& geometry) {
    auto* combo = new PickComboBox(this);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setCurrentIndex(combo->findText(text));  // the arrow keys start from there
    combo->setEditText(text);
    combo->setGeometry(geometry);
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
    ok_->setEnabled(true);
    showNeutral();
}

void Form1::onItemPicked() {
    showNeutral();
    ok_->setEnabled(true);
}

// The text of `combo` as a whole number of type Int. Anything else turns OK
// red, with a tool tip that names the field, and gives nothing.
template <typename Int>
std::optional<Int> Form1::readNumber(const QComboBox* combo, const QString& field) {
    bool ok = false;
    const qlonglong value = combo->currentText().trimmed().toLongLong(&ok, 10);
    constexpr auto low = std::numeric_limits<Int>::min();
    constexpr auto high = std::numeric_limits<Int>::max();
    if (ok && value >= low && value <= high)
        return static_cast<Int>(value);
    showAnswer(
        kNotSent,
        QStringLiteral("%1 must be a whole number from %2 to %3.").arg(field).arg(low).arg(high));
    return std::nullopt;
}

void Form1::onOkClicked() {
    ok_->setEnabled(false);

    const QString address = ip_->text();
    const auto rate = readNumber<qint32>(dataRate_, QStringLiteral("Data Rate"));
    if (!rate)
        return;
    const auto bits = readNumber<qint16>(dataBits_, QStringLiteral("Data Bits"));
    if (!bits)
        return;
    const QString parity = parity_->currentText();
    const auto stops = readNumber<qint16>(stopBits_, QStringLiteral("Stop Bits"));
    if (!stops)
        return;
    const QString flow = flowControl_->currentText();

    if (!lumetra1_)
        return showAnswer(
            kNotSent,
            QStringLiteral("No %1 control is available.").arg(frontends::kLumetraControlName));
    QVariantList args{
        address, QVariant::fromValue<qint32>(*rate),  QVariant::fromValue<qint16>(*bits),
        parity,  QVariant::fromValue<qint16>(*stops), flow};
    const auto result = frontends::toInt16(lumetra1_->invoke(kSetPort2, args));
    if (!result)
        return showAnswer(kNotSent, QStringLiteral("The call to the control failed."));
    if (*result == 0)
        return showAnswer(kNotSent, QStringLiteral("The unit was not reached."));
    showAnswer(kSent);
}

void Form1::onExitClicked() {
    close();
}

void Form1::showNeutral() {
    ok_->setPalette(QApplication::palette(ok_));
    ok_->setToolTip({});
}

void Form1::showAnswer(const QColor& colour, const QString& why) {
    QPalette palette = QApplication::palette(ok_);
    palette.setColor(QPalette::Button, colour);
    ok_->setPalette(palette);
    ok_->setToolTip(why);
}

}  // namespace fennick
