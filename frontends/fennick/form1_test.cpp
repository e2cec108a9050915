// The port-2 window driven with real key and mouse events, a recording fake
// in place of its control.
#include "frontends/fennick/form1.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "frontends/control/recording_control.h"
#include "frontends/fennick/lumetra_control.h"

namespace fennick {
namespace {

class Port2Window : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.log().answer = [this](int, const QVariantList&) { return answer; };
        form = std::make_unique<Form1>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->activateWindow();
        ok = form->findChild<QPushButton*>("Command1");
        ip = form->findChild<QLineEdit*>("IP");
        ASSERT_NE(ok, nullptr);
        ASSERT_NE(ip, nullptr);
    }

    QComboBox* combo(const char* name) { return form->findChild<QComboBox*>(name); }
    QColor okColour() const { return ok->palette().color(QPalette::Button); }
    QColor neutral() const { return QApplication::palette(ok).color(QPalette::Button); }
    void pressEnterIn(QWidget* widget) { QTest::keyClick(widget, Qt::Key_Return); }
    void retype(QComboBox* box, const QString& text) {
        box->lineEdit()->selectAll();
        QTest::keyClicks(box, text);
    }
    // Opens the list with the mouse and clicks the item `row`.
    void pick(QComboBox* box, int row) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 6, box->height() / 2));
        QAbstractItemView* view = box->view();
        ASSERT_TRUE(QTest::qWaitFor([&] { return view->isVisible(); }, 2000));
        // A freshly opened list ignores a release that could still belong to
        // the click that opened it.
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        QRect item = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !view->isVisible(); }, 2000));
    }
    void answerOnce(const QString& address) {
        QTest::keyClicks(ip, address);
        pressEnterIn(ip);
    }

    frontends::RecordingRegistration fake{frontends::kLumetraControlName};
    QVariant answer = QVariant::fromValue<qint16>(1);
    std::unique_ptr<Form1> form;
    QPushButton* ok = nullptr;
    QLineEdit* ip = nullptr;
};

TEST_F(Port2Window, EnterRightAfterStartDoesNothing) {
    EXPECT_EQ(QApplication::focusWidget(), ip);
    EXPECT_FALSE(ok->isEnabled());
    pressEnterIn(ip);
    EXPECT_TRUE(fake.log().calls.empty());
    EXPECT_EQ(okColour(), neutral());
}

TEST_F(Port2Window, AddressThenEnterCallsOnceWithTheInitialSettings) {
    answerOnce("addr");
    ASSERT_EQ(fake.log().calls.size(), 1u);
    const auto& call = fake.log().calls[0];
    EXPECT_EQ(call.dispatchId, 1);
    ASSERT_EQ(call.args.size(), 6);
    const int types[] = {QMetaType::QString, QMetaType::Int,   QMetaType::Short,
                         QMetaType::QString, QMetaType::Short, QMetaType::QString};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(call.args[i].typeId(), types[i]) << "argument " << i + 1;
    EXPECT_EQ(call.args[0].toString(), "addr");
    EXPECT_EQ(call.args[1].toInt(), 9600);
    EXPECT_EQ(call.args[2].toInt(), 8);
    EXPECT_EQ(call.args[3].toString(), "None");
    EXPECT_EQ(call.args[4].toInt(), 1);
    EXPECT_EQ(call.args[5].toString(), "Hardware");
}

TEST_F(Port2Window, AnswerColoursOkAndLeavesItDisabled) {
    struct Case {
        QVariant result;
        QColor colour;
    };
    const Case cases[] = {
        {QVariant::fromValue<qint16>(1), Form1::kSent},
        {QVariant::fromValue<qint16>(-1), Form1::kSent},
        {QVariant::fromValue<qint16>(0), Form1::kNotSent},
        {QVariant(), Form1::kNotSent},       // the call failed
        {QVariant(70000), Form1::kNotSent},  // no 16-bit result
        {QVariant(QStringLiteral("no number")), Form1::kNotSent},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result.toString().toStdString());
        answer = c.result;
        ip->clear();
        answerOnce("127.0.14.99");
        EXPECT_EQ(okColour(), c.colour);
        EXPECT_FALSE(ok->isEnabled());
        pressEnterIn(ip);  // disabled: no second call
    }
    EXPECT_EQ(fake.log().calls.size(), std::size(cases));
    EXPECT_EQ(ok->toolTip(), "The call to the control failed.");
}

TEST_F(Port2Window, APickInAnyComboOrAnEditMakesOkUsableInTheNeutralColour) {
    for (const char* name : {"Combo3", "Combo4", "Combo5", "Combo6", "Combo1"}) {
        SCOPED_TRACE(name);
        answerOnce("x");
        ASSERT_EQ(okColour(), Form1::kSent);
        pick(combo(name), 1);
        EXPECT_TRUE(ok->isEnabled());
        EXPECT_EQ(okColour(), neutral());
        ip->clear();
    }
    answerOnce("y");
    QTest::keyClick(ip, Qt::Key_Backspace);
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(okColour(), neutral());
}

TEST_F(Port2Window, TypingInAComboChangesNothingButItsTextIsSent) {
    answerOnce("unit");
    QComboBox* rate = combo("Combo3");
    retype(rate, "19200");
    pressEnterIn(rate);
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_EQ(okColour(), Form1::kSent);
    ASSERT_EQ(fake.log().calls.size(), 1u);

    QTest::keyClick(ip, Qt::Key_A);
    retype(combo("Combo5"), "Odd-ish");
    pressEnterIn(combo("Combo5"));
    ASSERT_EQ(fake.log().calls.size(), 2u);
    EXPECT_EQ(fake.log().calls[1].args[0].toString(), "unita");
    EXPECT_EQ(fake.log().calls[1].args[1].toInt(), 19200);
    EXPECT_EQ(fake.log().calls[1].args[3].toString(), "Odd-ish");
    EXPECT_EQ(rate->count(), 13) << "typed texts are not added to the list";
}

TEST_F(Port2Window, AnEmptyAddressIsPassedAsAnEmptyString) {
    pick(combo("Combo4"), 0);
    QTest::mouseClick(ok, Qt::LeftButton);
    ASSERT_EQ(fake.log().calls.size(), 1u);
    EXPECT_EQ(fake.log().calls[0].args[0].typeId(), QMetaType::QString);
    EXPECT_EQ(fake.log().calls[0].args[0].toString(), "");
    EXPECT_EQ(fake.log().calls[0].args[2].toInt(), 7);
}

TEST_F(Port2Window, ExitAndEscapeEndWithoutACall) {
    QTest::keyClicks(ip, "addr");
    QSignalSpy finished(form.get(), &QDialog::finished);
    QTest::mouseClick(form->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(form->isVisible());

    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QTest::keyClick(ip, Qt::Key_Escape);
    EXPECT_EQ(finished.count(), 2);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(fake.log().calls.empty());
}

TEST_F(Port2Window, ABadNumberTurnsOkRedWithoutACall) {
    struct Case {
        const char* combo;
        const char* text;
        const char* field;
    };
    const Case cases[] = {
        {"Combo3", "96OO", "Data Rate"}, {"Combo3", "2147483648", "Data Rate"},
        {"Combo3", "", "Data Rate"},     {"Combo4", "32768", "Data Bits"},
        {"Combo4", "8.5", "Data Bits"},  {"Combo6", "one", "Stop Bits"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.combo) + " " + c.text);
        QComboBox* box = combo(c.combo);
        const QString before = box->currentText();
        QTest::keyClick(ip, Qt::Key_A);
        retype(box, c.text);
        if (QString(c.text).isEmpty())
            QTest::keyClick(box, Qt::Key_Delete);
        pressEnterIn(box);
        EXPECT_EQ(okColour(), Form1::kNotSent);
        EXPECT_FALSE(ok->isEnabled());
        EXPECT_TRUE(ok->toolTip().startsWith(c.field)) << ok->toolTip().toStdString();
        box->setEditText(before);
    }
    EXPECT_TRUE(fake.log().calls.empty());
}

TEST(Port2WindowControl, MissingControlTurnsOkRed) {
    Form1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto* ip = form.findChild<QLineEdit*>("IP");
    QTest::keyClicks(ip, "addr");
    QTest::keyClick(ip, Qt::Key_Return);
    EXPECT_EQ(form.findChild<QPushButton*>("Command1")->palette().color(QPalette::Button),
              Form1::kNotSent);
}

TEST(LumetraControlArguments, WrongIdCountOrKindCallsNothing) {
    LumetraControl control;
    const QVariantList good{QStringLiteral("127.0.14.250"), 9600,
                            QVariant::fromValue<qint16>(8), QStringLiteral("N"),
                            QVariant::fromValue<qint16>(1), QStringLiteral("N")};
    struct Case {
        int id;
        int index;  // argument replaced, -1 none, 6 one too many, 7 one too few
        QVariant replacement;
    };
    const Case cases[] = {
        {2, -1, {}},
        {1, 6, QVariant(1)},
        {1, 7, {}},
        {1, 0, QVariant(5)},
        {1, 1, QVariant(QStringLiteral("9600"))},
        {1, 1, QVariant(9600.0)},
        {1, 2, QVariant(40000)},
        {1, 4, QVariant(qlonglong(1) << 33)},
        {1, 5, QVariant()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        QVariantList args = good;
        if (c.index == 6)
            args.append(c.replacement);
        else if (c.index == 7)
            args.removeLast();
        else if (c.index >= 0)
            args[c.index] = c.replacement;
        EXPECT_FALSE(control.invoke(c.id, args).isValid());
    }
}

}  // namespace
}  // namespace fennick
