// SPDX-License-Identifier: Apache-2.0
// The Zorrel window driven with real mouse events, a recording fake in place
// of its host-server control.
#include "frontends/zorrel/qt/form1.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <map>

#include "frontends/control/recording_control.h"

namespace zorrel {
namespace {

using namespace std::chrono_literals;

class HostWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.log().answer = [this](int id, const frontends::Arguments&) {
            infoAtCall.push_back(info ? info->text() : QString());
            if (id == 2 && !pollStatuses.empty()) {
                int status = pollStatuses.front();
                if (pollStatuses.size() > 1)
                    pollStatuses.erase(pollStatuses.begin());
                return frontends::Value(static_cast<std::int16_t>(status));
            }
            auto found = results.find(id);
            return found != results.end() ? found->second : frontends::Value();
        };
        form = std::make_unique<Form1>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        start = form->findChild<QPushButton*>("StartServer");
        exit = form->findChild<QPushButton*>("ExitServer");
        info = form->findChild<QLabel*>("Info");
        ASSERT_TRUE(start && exit && info);
    }

    std::vector<int> ids() const { return fake.log().ids(); }
    std::size_t count(int id) const {
        auto all = ids();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), id));
    }
    bool waitForCalls(int id, std::size_t n, int ms = 5000) {
        return QTest::qWaitFor([&] { return count(id) >= n; }, ms);
    }
    // The calls from the first poll on, up to and including the first call 6.
    std::vector<int> firstPoll() const {
        auto all = ids();
        auto first = std::find(all.begin(), all.end(), 2);
        auto end = std::find(first, all.end(), 6);
        return {first, end == all.end() ? end : end + 1};
    }
    void startServing(std::vector<int> statuses) {
        pollStatuses = std::move(statuses);
        results[1] = std::int16_t(1);
        QTest::mouseClick(start, Qt::LeftButton);
    }

    frontends::RecordingRegistration fake{frontends::kZorrelControlName};
    std::map<int, frontends::Value> results;
    std::vector<int> pollStatuses;
    std::vector<QString> infoAtCall;
    std::unique_ptr<Form1> form;
    QPushButton* start = nullptr;
    QPushButton* exit = nullptr;
    QLabel* info = nullptr;
};

TEST_F(HostWindow, LoadingStoresTheMessageAndEmptiesTheStatusLine) {
    ASSERT_EQ(ids(), std::vector<int>{5});
    const auto& args = fake.log().calls[0].args;
    EXPECT_EQ(args, (frontends::Arguments{std::string("send message"), std::int32_t(12)}));
    EXPECT_EQ(info->text(), "");
    EXPECT_EQ(form->windowTitle(), "Form1");
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(exit->isEnabled());
}

TEST_F(HostWindow, AFailedStartLeavesOnlyExitServerWhichStopsTheControl) {
    results[1] = std::int16_t(0);
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_EQ(ids(), (std::vector<int>{5, 1}));
    EXPECT_EQ(fake.log().calls[1].args, frontends::Arguments{std::int32_t(1283)});
    EXPECT_EQ(infoAtCall.back(), "Connecting..., Please wait.");
    EXPECT_EQ(info->text(), "Connection failed.");
    EXPECT_FALSE(start->isEnabled());
    EXPECT_TRUE(exit->isEnabled());
    QTest::qWait(300);
    EXPECT_EQ(count(2), 0u) << "the poll timer stays off";

    QTest::mouseClick(exit, Qt::LeftButton);
    EXPECT_EQ(ids(), (std::vector<int>{5, 1, 10}));
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(exit->isEnabled());
    EXPECT_EQ(info->text(), "");
}

// Enter on a focused button presses it; the focus goes on to Exit Server
// when Start Server is disabled, so the keyboard can stop the server.
TEST_F(HostWindow, TheKeyboardStartsAndStops) {
    results[1] = frontends::Value(std::int16_t(1));
    start->setFocus();
    QTest::keyClick(start, Qt::Key_Return);
    EXPECT_FALSE(start->isEnabled());
    EXPECT_TRUE(exit->isEnabled());
    QWidget* focus = QApplication::focusWidget();
    if (focus != exit) {
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    ASSERT_EQ(QApplication::focusWidget(), exit);
    QTest::keyClick(exit, Qt::Key_Space);
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(exit->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), start);
}

TEST_F(HostWindow, NothingWaitingCallsPollAndEndAtEveryTick) {
    startServing({0});
    ASSERT_TRUE(waitForCalls(6, 3));
    auto all = ids();
    EXPECT_EQ(std::vector<int>(all.begin(), all.begin() + 8),
              (std::vector<int>{5, 1, 2, 6, 2, 6, 2, 6}));
    EXPECT_EQ(info->text(), "Waiting for data.");
    QTest::mouseClick(exit, Qt::LeftButton);
    EXPECT_EQ(ids().back(), 10);
    const auto polls = count(2);
    QTest::qWait(300);
    EXPECT_EQ(count(2), polls) << "no poll after Exit Server";
}

TEST_F(HostWindow, AFailedPollNeverEndsTheConnection) {
    startServing({-1});
    ASSERT_TRUE(waitForCalls(2, 4));
    EXPECT_EQ(count(6), 0u);
    for (std::size_t i = 2; i < infoAtCall.size(); ++i)
        EXPECT_EQ(infoAtCall[i], "Waiting for data.");
    EXPECT_EQ(info->text(), "Connection failed.");
}

TEST_F(HostWindow, TrivialTextGetsTwoMessagesTwoSecondsApart) {
    // A timer due in the pause must fire before the second message.
    bool eventsHandled = false;
    bool handledBeforeSecond = false;
    auto answer = fake.log().answer;
    fake.log().answer = [&, answer](int id, const frontends::Arguments& args) {
        if (id == 11 && count(11) == 2)
            handledBeforeSecond = eventsHandled;
        return answer(id, args);
    };
    QTimer::singleShot(800, [&] { eventsHandled = true; });
    startServing({1, 0});
    ASSERT_TRUE(waitForCalls(6, 1, 5000));
    EXPECT_TRUE(handledBeforeSecond) << "the window handles its events during the pause";
    EXPECT_EQ(firstPoll(), (std::vector<int>{2, 3, 11, 11, 6}));

    std::vector<std::size_t> sends;  // positions of the 11 calls
    const auto& calls = fake.log().calls;
    for (std::size_t i = 0; i < calls.size(); ++i)
        if (calls[i].dispatchId == 11)
            sends.push_back(i);
    ASSERT_EQ(sends.size(), 2u);
    EXPECT_EQ(calls[sends[0]].args, frontends::Arguments{std::string("First Message")});
    EXPECT_EQ(calls[sends[1]].args, frontends::Arguments{std::string("Second Message")});
    const auto gap = calls[sends[1]].at - calls[sends[0]].at;
    EXPECT_GE(gap, 1900ms);
    EXPECT_LT(gap, 10s) << "one pause, however loaded the machine";
    // The status line through the pause, at the second message and at the end.
    const std::size_t secondAt = sends[1];
    EXPECT_EQ(infoAtCall[secondAt], "Responding to Trivial mode packet");
    EXPECT_EQ(infoAtCall[secondAt + 1], "Responding to Trivial mode packet");
}

TEST_F(HostWindow, FramesAreAnsweredByTheirKind) {
    struct Case {
        int kind;
        std::vector<int> calls;
        const char* status;
    };
    const Case cases[] = {
        {7, {2, 15, 9, 8, 7, 4, 6}, "Responding to Nominal mode packet"},
        {10, {2, 15, 16, 17, 18, 19, 6}, "Waiting for data."},
        {3, {2, 15, 6}, "Waiting for data."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        fake.log().calls.clear();
        infoAtCall.clear();
        results[15] = static_cast<std::int16_t>(c.kind);
        startServing({2, 0});
        ASSERT_TRUE(waitForCalls(6, 1));
        EXPECT_EQ(firstPoll(), c.calls);
        const auto all = ids();
        const auto end = std::find(all.begin(), all.end(), 6) - all.begin();
        EXPECT_EQ(infoAtCall[static_cast<std::size_t>(end)], c.status) << "when 6 is called";
        if (c.kind == 7) {
            for (const auto& call : fake.log().calls) {
                if (call.dispatchId == 4) {
                    EXPECT_EQ(call.args, frontends::Arguments{std::string("header.gif")});
                }
            }
        }
        QTest::mouseClick(exit, Qt::LeftButton);
    }
}

TEST(HostWindowControl, MissingControlFailsTheStart) {
    Form1 form;
    auto* start = form.findChild<QPushButton*>("StartServer");
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(form.findChild<QLabel*>("Info")->text(), "Connection failed.");
}

}  // namespace
}  // namespace zorrel
