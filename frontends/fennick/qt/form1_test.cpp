// SPDX-License-Identifier: Apache-2.0
// The port-2 window driven with real key and mouse events, a recording fake
// in place of its control.
#include "frontends/fennick/qt/form1.h"

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

class Form1Logic : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.log().answer = [this](int, const frontends::Arguments&) { return answer; };
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
    frontends::Value answer = std::int16_t(1);
    std::unique_ptr<Form1> form;
    QPushButton* ok = nullptr;
    QLineEdit* ip = nullptr;
};

TEST_F(Form1Logic, EnterRightAfterStartDoesNothing) {
    EXPECT_EQ(QApplication::focusWidget(), ip);
    EXPECT_FALSE(ok->isEnabled());
    pressEnterIn(ip);
    EXPECT_TRUE(fake.log().calls.empty());
    EXPECT_EQ(okColour(), neutral());
}

TEST_F(Form1Logic, AddressThenEnterCallsOnceWithTheInitialSettings) {
    answerOnce("addr");
    ASSERT_EQ(fake.log().calls.size(), 1u);
    const auto& call = fake.log().calls[0];
    EXPECT_EQ(call.dispatchId, 1);
    ASSERT_EQ(call.args.size(), 6);
    const frontends::Arguments expected{std::string("addr"), std::int32_t(9600),
                                        std::int16_t(8),     std::string("None"),
                                        std::int16_t(1),     std::string("Hardware")};
    EXPECT_EQ(call.args, expected);
}

TEST_F(Form1Logic, AnswerColoursOkAndLeavesItDisabled) {
    struct Case {
        frontends::Value result;
        QColor colour;
    };
    const Case cases[] = {
        {std::int16_t(1), Form1::kSent},
        {std::int16_t(-1), Form1::kSent},
        {std::int16_t(0), Form1::kNotSent},
        {frontends::Value(), Form1::kNotSent},   // the call failed
        {std::int32_t(70000), Form1::kNotSent},  // no 16-bit result
        {std::string("no number"), Form1::kNotSent},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(frontends::describe(c.result));
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

TEST_F(Form1Logic, APickInAnyComboOrAnEditMakesOkUsableInTheNeutralColour) {
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

TEST_F(Form1Logic, TypingInAComboChangesNothingButItsTextIsSent) {
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
    EXPECT_EQ(fake.log().calls[1].args[0], frontends::Value(std::string("unita")));
    EXPECT_EQ(fake.log().calls[1].args[1], frontends::Value(std::int32_t(19200)));
    EXPECT_EQ(fake.log().calls[1].args[3], frontends::Value(std::string("Odd-ish")));
    EXPECT_EQ(rate->count(), 13) << "typed texts are not added to the list";
}

TEST_F(Form1Logic, AnEmptyAddressIsPassedAsAnEmptyString) {
    pick(combo("Combo4"), 0);
    QTest::mouseClick(ok, Qt::LeftButton);
    ASSERT_EQ(fake.log().calls.size(), 1u);
    EXPECT_EQ(fake.log().calls[0].args[0], frontends::Value(std::string()));
    EXPECT_EQ(fake.log().calls[0].args[2], frontends::Value(std::int16_t(7)));
}

TEST_F(Form1Logic, ExitAndEscapeEndWithoutACall) {
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

// Enter on a focused button presses that button: Exit ends the program
// without a call, though OK is usable and the default button.
TEST_F(Form1Logic, EnterOnTheFocusedExitIsExitNotOk) {
    QTest::keyClicks(ip, "addr");
    ASSERT_TRUE(ok->isEnabled());
    QSignalSpy finished(form.get(), &QDialog::finished);
    auto* exit = form->findChild<QPushButton*>("Command2");
    exit->setFocus();
    QTest::keyClick(exit, Qt::Key_Return);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(fake.log().calls.empty());
}

// The arrow keys pick a list item (a pick makes OK usable), Enter in the
// combo box then presses OK, and after the answer the focus is still in the
// window, so Escape ends it.
TEST_F(Form1Logic, ArrowKeysPickEnterSendsEscapeEnds) {
    QComboBox* rate = combo("Combo3");
    rate->setFocus();
    QTest::keyClick(rate, Qt::Key_Down);
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(rate->currentText(), QStringLiteral("19200"));
    pressEnterIn(rate);
    ASSERT_EQ(fake.log().calls.size(), 1u);
    EXPECT_FALSE(ok->isEnabled());
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QSignalSpy finished(form.get(), &QDialog::finished);
    QTest::keyClick(focus, Qt::Key_Escape);
    EXPECT_EQ(finished.count(), 1);
}

TEST_F(Form1Logic, ABadNumberTurnsOkRedWithoutACall) {
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

TEST(Form1LogicControl, MissingControlTurnsOkRed) {
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
    using frontends::Value;
    const frontends::Arguments good{std::string("127.0.14.250"),
                                    std::int32_t(9600),
                                    std::int16_t(8),
                                    std::string("N"),
                                    std::int16_t(1),
                                    std::string("N")};
    struct Case {
        int id;
        int index;  // argument replaced, -1 none, 6 one too many, 7 one too few
        Value replacement;
    };
    const Case cases[] = {
        {2, -1, {}},
        {1, 6, std::int32_t(1)},
        {1, 7, {}},
        {1, 0, std::int32_t(5)},
        {1, 1, std::string("9600")},
        {1, 1, 9600.0},
        {1, 2, std::int32_t(40000)},
        {1, 4, std::int64_t(1) << 33},
        {1, 5, Value()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        frontends::Arguments args = good;
        if (c.index == 6)
            args.push_back(c.replacement);
        else if (c.index == 7)
            args.pop_back();
        else if (c.index >= 0)
            args[static_cast<std::size_t>(c.index)] = c.replacement;
        EXPECT_TRUE(frontends::isEmpty(control.invoke(c.id, args)));
    }
}

}  // namespace
}  // namespace fennick
