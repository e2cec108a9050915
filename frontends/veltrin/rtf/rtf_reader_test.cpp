// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/rtf/rtf_reader.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <memory>
#include <optional>
#include <random>

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

// The character format of the first fragment whose text contains `text`.
std::optional<QTextCharFormat> formatOf(const QTextDocument& document, const QString& text) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().text().contains(text))
                return it.fragment().charFormat();
        }
    }
    return std::nullopt;
}

// Paragraphs joined by '|', so expectations stay on one line.
QString paragraphs(const QTextDocument& document) {
    return document.toRawText().replace(QChar::ParagraphSeparator, u'|');
}

// A broken file fails and keeps the text read up to the fault.
struct TextCase {
    const char* name;
    QByteArray rtf;
    QString text;
    bool ok = true;
};

class RtfText : public testing::TestWithParam<TextCase> {};

TEST_P(RtfText, ReadsTheText) {
    QTextDocument document;
    EXPECT_EQ(veltrin::readRtf(GetParam().rtf, document), GetParam().ok);
    EXPECT_EQ(paragraphs(document), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Words, RtfText,
    testing::Values(
        TextCase{"Plain", "{\\rtf1 Hello}", "Hello"},
        TextCase{"Paragraphs", "{\\rtf1 One\\par Two\\par}", "One|Two|"},
        TextCase{"TabAndLine", "{\\rtf1 a\\tab b\\line c}", u"a\tb\u2028c"_qs},
        TextCase{"RawLineEndsAreNotText", "{\\rtf1 a\r\nb\nc}", "abc"},
        TextCase{"BackslashNewlineIsAParagraph", "{\\rtf1 a\\\nb}", "a|b"},
        TextCase{"EscapedSpecials", "{\\rtf1 \\\\ \\{x\\}}", "\\ {x}"},
        TextCase{"HexIsWindows1252", "{\\rtf1 caf\\'e9 \\'93q\\'94 \\'80}", u"café “q” €"_qs},
        TextCase{"RawHighBytesAreWindows1252", "{\\rtf1 caf\xe9}", u"café"_qs},
        TextCase{"UndefinedBytesDropped", "{\\rtf1 a\x81\\'8db\\u0?c}", "abc"},
        TextCase{"UnicodeSkipsOneFallback", "{\\rtf1 caf\\u233?s}", u"cafés"_qs},
        TextCase{"UnicodeNegative", "{\\rtf1 \\u-3913?}", u"\uF0B7"_qs},
        TextCase{"FallbackOfTwo", "{\\rtf1\\uc2 x\\u8364 EUy}", u"x€y"_qs},
        TextCase{"NoFallback", "{\\rtf1\\uc0 \\u8364 y}", u"€y"_qs},
        TextCase{"FallbackAsHex", "{\\rtf1 \\u233\\'e9x}", u"éx"_qs},
        TextCase{"FallbackAsControlWord", "{\\rtf1 \\u8226\\bullet x}", u"•x"_qs},
        TextCase{"FallbackEndsAtGroupEnd", "{\\rtf1\\uc3 {\\u233 a}b}", u"éb"_qs},
        TextCase{"FallbackCountBelongsToTheGroup", "{\\rtf1 {\\uc2 a}\\u233 xy}", u"aéy"_qs},
        TextCase{"NamedCharacters", "{\\rtf1 \\bullet\\emdash\\~\\ldblquote}", u"•—\u00A0“"_qs},
        TextCase{"InfoAndStylesheetSkipped",
                 "{\\rtf1{\\info{\\title T}{\\author A}}{\\stylesheet{\\s0 Normal;}}Body}", "Body"},
        TextCase{"StarredDestinationSkipped", "{\\rtf1{\\*\\generator Gen 1.0;}{\\*\\x{y}z}Body}",
                 "Body"},
        TextCase{"PictureWithBinaryDataSkipped", "{\\rtf1{\\pict\\bin4 }{{}x}Text}", "Text"},
        TextCase{"FieldShowsItsResult",
                 "{\\rtf1{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt Link}}}", "Link"},
        TextCase{"TablesStayOutOfTheText",
                 "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red1\\green2\\blue3;}X}", "X"},
        TextCase{"UnknownWordsIgnored", "{\\rtf1\\foo12 A\\barbaz-3 B}", "AB"},
        TextCase{"TextAfterTheDocumentIgnored", "{\\rtf1 a}\r\n}junk", "a"},
        TextCase{"LeadingWhitespaceAllowed", "\r\n {\\rtf1 a}", "a"}),
    [](const auto& info) { return std::string(info.param.name); });

struct FormatCase {
    const char* name;
    QByteArray rtf;
    QString probe;
    std::optional<bool> bold = {};
    std::optional<bool> italic = {};
    std::optional<bool> underline = {};
    std::optional<double> points = {};
    std::optional<QString> family = {};
    std::optional<QColor> color = {};  // invalid: no colour of its own
};

template <typename T>
void expectIf(const std::optional<T>& expected, const T& actual, const char* what) {
    if (expected) {
        EXPECT_EQ(actual, *expected) << what;
    }
}

class RtfFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(RtfFormat, FormatsTheRun) {
    const FormatCase& c = GetParam();
    QTextDocument document;
    ASSERT_TRUE(veltrin::readRtf(c.rtf, document));
    auto format = formatOf(document, c.probe);
    ASSERT_TRUE(format) << "no run holds " << c.probe.toStdString();
    expectIf(c.bold, format->fontWeight() == QFont::Bold, "bold");
    expectIf(c.italic, format->fontItalic(), "italic");
    expectIf(c.underline, format->fontUnderline(), "underline");
    expectIf(c.points, format->fontPointSize(), "size");
    expectIf(c.family, format->fontFamilies().toStringList().value(0), "font");
    if (c.color && c.color->isValid()) {
        EXPECT_EQ(format->foreground().color(), *c.color);
    } else if (c.color) {
        EXPECT_FALSE(format->hasProperty(QTextFormat::ForegroundBrush));
    }
}

const char kTables[] =
    "{\\rtf1\\deff1{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fnil\\fcharset0 Verdana;}"
    "{\\f2{\\*\\panose 0204}Courier New{\\*\\falt Courier};}}"
    "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}";

INSTANTIATE_TEST_SUITE_P(
    Runs, RtfFormat,
    testing::Values(
        FormatCase{"Bold", "{\\rtf1 a\\b bold\\b0 c}", "bold", true},
        FormatCase{"BoldOff", "{\\rtf1 a\\b bold\\b0 c}", "c", false},
        FormatCase{"BoldEndsWithItsGroup", "{\\rtf1 {\\b x}after}", "after", false},
        FormatCase{"Italic", "{\\rtf1 \\i it\\i0 no}", "it", {}, true},
        FormatCase{"ItalicOff", "{\\rtf1 \\i it\\i0 no}", "no", {}, false},
        FormatCase{"Underline", "{\\rtf1 \\ul u\\ulnone n\\ul v\\ul0 w}", "u", {}, {}, true},
        FormatCase{"UnderlineNone", "{\\rtf1 \\ul u\\ulnone n\\ul v\\ul0 w}", "n", {}, {}, false},
        FormatCase{"UnderlineZero", "{\\rtf1 \\ul u\\ulnone n\\ul v\\ul0 w}", "w", {}, {}, false},
        FormatCase{"SizeInHalfPoints", "{\\rtf1\\fs40 big}", "big", {}, {}, {}, 20.0},
        FormatCase{
            "SizeOutOfRangeIsClamped", "{\\rtf1\\fs99999999999999 big}", "big", {}, {}, {}, 400.0},
        FormatCase{"PlainResets", "{\\rtf1\\b\\i\\ul\\fs40 x\\plain y}", "y", false, false, false,
                   12.0},
        FormatCase{"FontFromTable",
                   std::string(kTables).append("\\f0 a}").c_str(),
                   "a",
                   {},
                   {},
                   {},
                   {},
                   "Arial"},
        FormatCase{"DefaultFont",
                   std::string(kTables).append("d}").c_str(),
                   "d",
                   {},
                   {},
                   {},
                   {},
                   "Verdana"},
        FormatCase{"FontNameWithoutItsExtras",
                   std::string(kTables).append("\\f2 c}").c_str(),
                   "c",
                   {},
                   {},
                   {},
                   {},
                   "Courier New"},
        FormatCase{"FontTableWithoutInnerGroups",
                   "{\\rtf1{\\fonttbl\\f0 Arial;\\f1 Tahoma;}\\f1 t}",
                   "t",
                   {},
                   {},
                   {},
                   {},
                   "Tahoma"},
        FormatCase{"ColourFromTable",
                   std::string(kTables).append("\\cf2 blue}").c_str(),
                   "blue",
                   {},
                   {},
                   {},
                   {},
                   {},
                   QColor(0, 0, 255)},
        FormatCase{"ColourOne",
                   std::string(kTables).append("\\cf1 red}").c_str(),
                   "red",
                   {},
                   {},
                   {},
                   {},
                   {},
                   QColor(255, 0, 0)},
        FormatCase{"ColourZeroIsAutomatic",
                   std::string(kTables).append("\\cf1 r\\cf0 auto}").c_str(),
                   "auto",
                   {},
                   {},
                   {},
                   {},
                   {},
                   QColor()},
        FormatCase{"ColourBeyondTableIsAutomatic",
                   std::string(kTables).append("\\cf9 x}").c_str(),
                   "x",
                   {},
                   {},
                   {},
                   {},
                   {},
                   QColor()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RtfReader, LeavesUnsetPropertiesToTheDocumentDefault) {
    QTextDocument document;
    document.setDefaultFont(QFont("Verdana", 12, QFont::Bold));
    ASSERT_TRUE(veltrin::readRtf("{\\rtf1 text}", document));
    EXPECT_TRUE(document.defaultFont().bold());
    EXPECT_FALSE(formatOf(document, "text")->hasProperty(QTextFormat::FontWeight));
}

TEST(RtfReader, BackgroundStrikeAndRaisedText) {
    QTextDocument document;
    ASSERT_TRUE(
        veltrin::readRtf("{\\rtf1{\\colortbl;\\red255\\green255\\blue0;}"
                         "{\\cb1 swatch}{\\highlight1 marked}{\\strike gone}"
                         "x{\\super high}{\\sub low}\\nosupersub plain}",
                         document));
    EXPECT_EQ(formatOf(document, "swatch")->background().color(), QColor(255, 255, 0));
    EXPECT_EQ(formatOf(document, "marked")->background().color(), QColor(255, 255, 0));
    EXPECT_TRUE(formatOf(document, "gone")->fontStrikeOut());
    EXPECT_EQ(formatOf(document, "high")->verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(formatOf(document, "low")->verticalAlignment(), QTextCharFormat::AlignSubScript);
    EXPECT_EQ(formatOf(document, "plain")->verticalAlignment(), QTextCharFormat::AlignNormal);
}

TEST(RtfReader, ReplacesWhatTheDocumentHeld) {
    QTextDocument document("old text");
    ASSERT_TRUE(veltrin::readRtf("{\\rtf1 new}", document));
    EXPECT_EQ(document.toPlainText(), "new");
}

TEST(RtfReader, ParagraphFormats) {
    QTextDocument document;
    ASSERT_TRUE(veltrin::readRtf(
        "{\\rtf1\\qc Title\\par\\pard\\li720\\fi-360 Item\\par\\pard Body\\par\\qr Last}",
        document));
    ASSERT_EQ(document.blockCount(), 4);
    EXPECT_EQ(document.findBlockByNumber(0).blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_DOUBLE_EQ(document.findBlockByNumber(1).blockFormat().leftMargin(), 48.0);
    EXPECT_DOUBLE_EQ(document.findBlockByNumber(1).blockFormat().textIndent(), -24.0);
    EXPECT_EQ(document.findBlockByNumber(2).blockFormat().alignment(), Qt::AlignLeft);
    EXPECT_DOUBLE_EQ(document.findBlockByNumber(2).blockFormat().leftMargin(), 0.0);
    EXPECT_EQ(document.findBlockByNumber(3).blockFormat().alignment(), Qt::AlignRight);
}

QByteArray nested(int depth, bool closed) {
    QByteArray rtf = "{\\rtf1 a" + QByteArray(depth, '{') + "x";
    if (closed)
        rtf += QByteArray(depth, '}') + "}";
    return rtf;
}

INSTANTIATE_TEST_SUITE_P(
    Broken, RtfText,
    testing::Values(TextCase{"Empty", "", "", false},
                    TextCase{"NotRtf", "Hello {\\b world}", "", false},
                    TextCase{"OnlyABrace", "{", "", false},
                    TextCase{"CutOff", "{\\rtf1 Hello\\par \\b wor", "Hello|wor", false},
                    TextCase{"CutInHex", "{\\rtf1 ab\\'e", "ab", false},
                    TextCase{"CutAfterBackslash", "{\\rtf1 ab\\", "ab", false},
                    TextCase{"CutInFontTable", "{\\rtf1{\\fonttbl{\\f0 Ari", "", false},
                    TextCase{"Unbalanced", "{\\rtf1 {\\b a}{b", "ab", false},
                    TextCase{"BinaryLongerThanTheFile", "{\\rtf1 a\\bin999999999999 b}", "a",
                             false},
                    TextCase{"TooDeep", nested(100'000, true), "a", false},
                    TextCase{"TooDeepAndOpen", nested(100'000, false), "a", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RtfReader, ReadsNestingOfRealDocuments) {
    QTextDocument document;
    EXPECT_TRUE(veltrin::readRtf(nested(100, true), document));
    EXPECT_EQ(document.toPlainText(), "ax");
}

TEST(RtfReader, HugeWordsAndParametersAreHarmless) {
    QTextDocument document;
    QByteArray rtf = "{\\rtf1 a\\" + QByteArray(100'000, 'b') + " c\\fs" +
                     QByteArray(100'000, '9') + " d\\u" + QByteArray(50, '9') + " ?e}";
    EXPECT_TRUE(veltrin::readRtf(rtf, document));
    EXPECT_TRUE(document.toPlainText().startsWith("acd"));
    EXPECT_TRUE(document.toPlainText().endsWith("e"));
}

TEST(RtfReader, SurvivesGarbage) {
    std::mt19937 random(13);
    const char alphabet[] = "{}\\\\\\'*abfiu0123456789- ;\r\n\x80\xff";
    for (int round = 0; round < 200; ++round) {
        QByteArray rtf = "{\\rtf1 ";
        for (int i = 0; i < 2000; ++i) rtf += alphabet[random() % (sizeof alphabet - 1)];
        QTextDocument document;
        veltrin::readRtf(rtf, document);
        EXPECT_LE(document.characterCount(), rtf.size() + 1);
    }
}

}  // namespace

namespace {

class HelpFile : public testing::Test {
  protected:
    void SetUp() override {
        QFile file(VELTRIN_HELP_FILE);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        rtf_ = file.readAll();
        // The pane's own font, used where the file sets none.
        document_.setDefaultFont(QFont("Verdana", 12, QFont::Bold));
        ASSERT_TRUE(veltrin::readRtf(rtf_, document_));
    }

    QByteArray rtf_;
    QTextDocument document_;
};

TEST_F(HelpFile, IsSevenBitText) {
    for (char c : rtf_) {
        ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << "byte " << int(c);
    }
}

TEST_F(HelpFile, OpensWithItsHeading) {
    QTextBlock first = document_.begin();
    EXPECT_EQ(first.text(), "Veltrin 3.4 User Guide");
    QTextCharFormat heading = first.begin().fragment().charFormat();
    EXPECT_EQ(heading.fontWeight(), QFont::Bold);
    EXPECT_GT(heading.fontPointSize(), 12.0);
}

TEST_F(HelpFile, ExplainsEveryButton) {
    const QString text = document_.toPlainText();
    for (const char* caption : {"Read Modes", "Set Mode", "Commit", "Refresh", "Restart Unit",
                                "TextReset", "SaveToFile", "Help", "Close", "Exit", "Ok",
                                "Unit IP Address:", "New Content", "yellow", "red", "green"}) {
        EXPECT_TRUE(text.contains(caption)) << caption;
    }
}

// Draws the guide at the pane's width into the build folder, to look at.
TEST_F(HelpFile, RendersAtThePaneWidth) {
    constexpr int kPaneWidth = 9255 / 15;
    document_.setTextWidth(kPaneWidth);
    QImage image(kPaneWidth, int(document_.size().height()), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    document_.drawContents(&painter);
    painter.end();
    EXPECT_TRUE(image.save(VELTRIN_RENDER_DIR "/veltrin_help.png"));
}

}  // namespace
