// SPDX-License-Identifier: Apache-2.0
// The port-2 window with its real control, against simulated units on
// 127.0.14.x: the exact settings frame a unit receives, and red for a unit
// that is not there.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>

#include "frontends/fennick/lumetra_control.h"
#include "frontends/fennick/qt/form1.h"
#include "protocol/frame.h"
#include "unitsim/unit.h"

namespace fennick {
namespace {

using namespace std::chrono_literals;

// The real control, registered before the window makes it.
struct RealControl {
    RealControl() { registerLumetraControl(); }
    ~RealControl() { frontends::unregisterControl(frontends::kLumetraControlName); }
};

class Port2EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        ip = form.findChild<QLineEdit*>("IP");
        ok = form.findChild<QPushButton*>("Command1");
    }
    RealControl control;
    Form1 form;
    QLineEdit* ip = nullptr;
    QPushButton* ok = nullptr;
};

// The frame a unit must receive for `line`: DATA FILE, kind FILE, name
// "setscanner2", the line without its zero byte, 32 zero bytes of padding.
std::vector<std::uint8_t> settingsFrame(const std::string& line) {
    std::vector<std::uint8_t> frame(52 + 12 + line.size(), 0);
    protocol::writeBE32(frame.data(), static_cast<std::uint32_t>(frame.size()));
    const std::string codes = "DATAFILE";
    std::copy(codes.begin(), codes.end(), frame.begin() + 4);
    protocol::writeBE32(frame.data() + 12, static_cast<std::uint32_t>(line.size()));
    const std::string kindNameLine = std::string("FILEsetscanner2") + '\0' + line;
    std::copy(kindNameLine.begin(), kindNameLine.end(), frame.begin() + 16);
    return frame;
}

TEST_F(Port2EndToEnd, TheSettingsReachTheUnitAsOneExactFrame) {
    struct Case {
        const char* address;
        int flowItem;  // -1: the window's initial "Hardware"
        std::string line;
        std::size_t frameSize;
    };
    const Case cases[] = {
        {"127.0.14.1", -1,
         "stty -F /dev/ttyS0 ispeed 9600 ospeed 9600 cs8 -cstopb -parenb icrnl hupcl -icanon "
         "clocal crtscts -ixon cread -echo -echoe -echok min 1\n",
         200},
        {"127.0.14.3", 2,  // "None"
         "stty -F /dev/ttyS0 ispeed 9600 ospeed 9600 cs8 -cstopb -parenb icrnl hupcl -icanon "
         "clocal -crtscts -ixon cread -echo -echoe -echok min 1\n",
         201},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        unitsim::Options options;
        options.address = c.address;
        unitsim::Unit unit(options);
        std::string error;
        ASSERT_TRUE(unit.start(error)) << error;

        ip->clear();
        QTest::keyClicks(ip, c.address);
        if (c.flowItem >= 0) {
            auto* flow = form.findChild<QComboBox*>("Combo1");
            flow->setFocus();
            QTest::keyClick(flow, Qt::Key_Down);  // from "Hardware" to "None"
            ASSERT_EQ(flow->currentText(), "None");
        }
        QTest::keyClick(ip, Qt::Key_Return);
        EXPECT_EQ(ok->palette().color(QPalette::Button), Form1::kSent);
        EXPECT_FALSE(ok->isEnabled());
        if (c.flowItem < 0)
            form.grab().save(QStringLiteral(SCREENSHOT_DIR "/fennick_answered_green.png"));

        ASSERT_TRUE(unit.waitForReceived(1, 5s));
        ASSERT_EQ(c.line.size() + 64, c.frameSize);
        const auto streams = unit.streams();
        ASSERT_EQ(streams.size(), 1u);
        EXPECT_EQ(streams[0], settingsFrame(c.line));
        const auto journal = unit.journal();
        const std::string expected =
            "recv DATA FILE FILE \"setscanner2\" " + std::to_string(c.line.size()) + " bytes";
        EXPECT_NE(std::find(journal.begin(), journal.end(), expected), journal.end());
    }
}

TEST_F(Port2EndToEnd, AnUnreachableUnitTurnsOkRedWithinTheConnectTimeOut) {
    QTest::keyClicks(ip, "127.0.14.2");  // nothing listens here
    auto start = std::chrono::steady_clock::now();
    QTest::mouseClick(ok, Qt::LeftButton);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(ok->palette().color(QPalette::Button), Form1::kNotSent);
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_LT(took, 20s) << "refused at once here; far below a hang on any load";
}

}  // namespace
}  // namespace fennick
