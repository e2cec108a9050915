#include "veltrin/rtf/rtf_reader.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTextDocument>

namespace {

// Fonts and text layout need a GUI application; the offscreen platform needs no display.
class GuiEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "rtf_reader_test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QGuiApplication> app_;
};

const auto* const kGui = testing::AddGlobalTestEnvironment(new GuiEnvironment);

TEST(RtfReader, ReadsPlainText) {
    QTextDocument document;
    EXPECT_TRUE(veltrin::readRtf("{\\rtf1 Hello}", document));
    EXPECT_EQ(document.toPlainText(), "Hello");
}

}  // namespace
