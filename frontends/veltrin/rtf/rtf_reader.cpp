// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/rtf/rtf_reader.h"

#include <QColor>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "frontends/veltrin/rtf/rtf_words.h"
#include "protocol/escapes.h"

namespace veltrin {
namespace {

using rtf::fromWindows1252;
using rtf::lookupWord;
using rtf::Word;
using rtf::WordInfo;

// Real documents nest a few levels; anything deeper is broken or hostile.
constexpr std::size_t kMaxGroupDepth = 128;
constexpr std::size_t kMaxTableEntries = 1024;
constexpr qsizetype kMaxFontNameLength = 256;
constexpr std::size_t kMaxWordLength = 32;
constexpr std::int64_t kMaxParameter = 1'000'000'000;
constexpr int kDefaultHalfPoints = 24;
constexpr int kMaxHalfPoints = 800;
constexpr int kMaxTwips = 20'000;
constexpr double kTwipsPerPixel = 15.0;
constexpr int kMaxFallbackSkip = 16;

enum class Destination { Text, Skip, FontTable, ColorTable };

// Character properties of a group. Unset properties leave the document's
// own default font in charge, so a pane's default shows where the file says
// nothing.
struct CharState {
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<bool> underline;
    std::optional<bool> strike;
    int halfPoints = 0;  // 0: unset
    int font = -1;       // index into the font table, -1: unset
    int color = 0;       // index into the colour table, 0: automatic
    int background = 0;  // index into the colour table, 0: none
    QTextCharFormat::VerticalAlignment vertical = QTextCharFormat::AlignNormal;

    bool operator==(const CharState&) const = default;
};

struct ParaState {
    Qt::Alignment alignment = Qt::AlignLeft;
    int leftTwips = 0;
    int rightTwips = 0;
    int firstLineTwips = 0;
    int beforeTwips = 0;
    int afterTwips = 0;
};

struct Group {
    CharState chars;
    ParaState para;
    Destination destination = Destination::Text;
    int fallbackSkip = 1;  // \uc: characters that stand in for each \u
};

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

class Reader {
  public:
    Reader(QByteArrayView in, QTextDocument& document) : in_(in), cursor_(&document) {}

    bool run();

  private:
    Group& group() { return groups_.back(); }
    bool openGroup();
    void closeGroup();
    void readControl();
    void controlWord(std::string_view name, std::optional<int> parameter);
    void controlSymbol(char symbol);
    void characterWord(const WordInfo& info, std::optional<int> parameter);
    void colorWord(Word word, int value);
    void paragraphWord(Word word, int value);
    void destinationWord(Word word);
    void character(char16_t ch);
    void endParagraph();
    void flush();
    void commitFont();
    void commitColor();
    QTextCharFormat charFormat(const CharState& state) const;
    QTextBlockFormat blockFormat(const ParaState& state) const;

    QByteArrayView in_;
    qsizetype pos_ = 0;
    QTextCursor cursor_;
    std::vector<Group> groups_;
    bool finished_ = false;
    bool tooDeep_ = false;
    bool starred_ = false;  // \* seen: the group's destination may be skipped
    int fallbackLeft_ = 0;  // characters still to skip after a \u
    ParaState lastPara_;    // of the outermost group, for the last paragraph

    QString pending_;
    CharState pendingState_;

    std::map<int, QString> fonts_;
    int defaultFont_ = -1;
    int fontNumber_ = -1;
    QString fontName_;
    std::vector<QColor> colors_;  // invalid colour: automatic
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorSet_ = false;
};

bool Reader::run() {
    cursor_.document()->clear();
    cursor_ = QTextCursor(cursor_.document());
    cursor_.beginEditBlock();
    while (pos_ < in_.size() &&
           (in_[pos_] == ' ' || in_[pos_] == '\r' || in_[pos_] == '\n' || in_[pos_] == '\t')) {
        ++pos_;
    }
    if (!in_.sliced(pos_).startsWith(QByteArrayView("{\\rtf"))) {
        cursor_.endEditBlock();
        return false;
    }
    groups_.reserve(kMaxGroupDepth);
    while (pos_ < in_.size() && !finished_ && !tooDeep_) {
        char c = in_[pos_++];
        switch (c) {
            case '{':
                fallbackLeft_ = 0;
                if (!openGroup())
                    tooDeep_ = true;
                break;
            case '}':
                fallbackLeft_ = 0;
                closeGroup();
                break;
            case '\\':
                readControl();
                break;
            case '\r':
            case '\n':
                break;
            default:
                if (groups_.empty())
                    break;
                if (c == '\t') {
                    character(u'\t');
                } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
                    character(fromWindows1252(static_cast<unsigned char>(c)));
                }
                break;
        }
    }
    flush();
    cursor_.setBlockFormat(blockFormat(groups_.empty() ? lastPara_ : group().para));
    cursor_.endEditBlock();
    return finished_;
}

bool Reader::openGroup() {
    if (groups_.size() >= kMaxGroupDepth)
        return false;
    groups_.push_back(groups_.empty() ? Group{} : group());
    starred_ = false;
    return true;
}

void Reader::closeGroup() {
    if (groups_.empty())
        return;
    if (group().destination == Destination::FontTable)
        commitFont();
    lastPara_ = group().para;
    groups_.pop_back();
    starred_ = false;
    if (groups_.empty())
        finished_ = true;
}

void Reader::readControl() {
    if (pos_ >= in_.size())
        return;
    if (!isLetter(in_[pos_])) {
        controlSymbol(in_[pos_++]);
        return;
    }
    qsizetype start = pos_;
    while (pos_ < in_.size() && isLetter(in_[pos_])) ++pos_;
    std::string_view name(in_.data() + start, static_cast<std::size_t>(pos_ - start));
    std::optional<int> parameter;
    bool negative = pos_ + 1 < in_.size() && in_[pos_] == '-' && isDigit(in_[pos_ + 1]);
    if (negative)
        ++pos_;
    if (pos_ < in_.size() && isDigit(in_[pos_])) {
        std::int64_t value = 0;
        while (pos_ < in_.size() && isDigit(in_[pos_])) {
            value = std::min(value * 10 + (in_[pos_++] - '0'), kMaxParameter);
        }
        parameter = static_cast<int>(negative ? -value : value);
    }
    if (pos_ < in_.size() && in_[pos_] == ' ')
        ++pos_;  // the delimiter belongs to the word
    if (name.size() <= kMaxWordLength)
        controlWord(name, parameter);
}

void Reader::controlWord(std::string_view name, std::optional<int> parameter) {
    if (groups_.empty())
        return;
    const WordInfo* info = lookupWord(name);
    // Binary data is skipped wherever it stands, or its bytes would be read as RTF.
    if (info && info->word == Word::Binary) {
        qsizetype length = std::max(parameter.value_or(0), 0);
        pos_ += std::min(length, in_.size() - pos_);
        return;
    }
    bool starred = std::exchange(starred_, false);
    if (group().destination == Destination::Skip)
        return;
    if (info && (info->word == Word::FontTable || info->word == Word::ColorTable ||
                 info->word == Word::SkipDestination)) {
        destinationWord(info->word);
        return;
    }
    // An unknown destination marked with \* is meant to be skipped.
    if (starred) {
        group().destination = Destination::Skip;
        return;
    }
    if (!info)
        return;
    if (fallbackLeft_ > 0 && group().destination == Destination::Text) {
        --fallbackLeft_;
        return;
    }
    characterWord(*info, parameter);
}

void Reader::destinationWord(Word word) {
    switch (word) {
        case Word::FontTable:
            group().destination = Destination::FontTable;
            fontNumber_ = -1;
            fontName_.clear();
            break;
        case Word::ColorTable:
            group().destination = Destination::ColorTable;
            colorSet_ = false;
            break;
        default:
            group().destination = Destination::Skip;
            break;
    }
}

void Reader::characterWord(const WordInfo& info, std::optional<int> parameter) {
    Group& g = group();
    int value = parameter.value_or(1);
    bool on = value != 0;
    switch (g.destination) {
        case Destination::FontTable:
            if (info.word == Word::Font) {
                commitFont();
                fontNumber_ = value;
            } else if (info.word == Word::Unicode) {
                character(static_cast<char16_t>(value & 0xFFFF));
            }
            return;
        case Destination::ColorTable:
            colorWord(info.word, value);
            return;
        case Destination::Skip:
            return;
        case Destination::Text:
            break;
    }
    CharState& c = g.chars;
    switch (info.word) {
        case Word::Par:
            endParagraph();
            break;
        case Word::Line:
            character(u'\u2028');
            break;
        case Word::Tab:
            character(u'\t');
            break;
        case Word::Symbol:
            character(info.symbol);
            break;
        case Word::Bold:
            c.bold = on;
            break;
        case Word::Italic:
            c.italic = on;
            break;
        case Word::Underline:
            c.underline = on;
            break;
        case Word::UnderlineNone:
            c.underline = false;
            break;
        case Word::Strike:
            c.strike = on;
            break;
        case Word::FontSize:
            c.halfPoints = value > 0 ? std::min(value, kMaxHalfPoints) : kDefaultHalfPoints;
            break;
        case Word::Font:
            c.font = std::max(value, -1);
            break;
        case Word::DefaultFont:
            defaultFont_ = std::max(value, -1);
            break;
        case Word::Color:
            c.color = std::max(value, 0);
            break;
        case Word::Background:
            c.background = std::max(value, 0);
            break;
        case Word::Super:
            c.vertical = QTextCharFormat::AlignSuperScript;
            break;
        case Word::Sub:
            c.vertical = QTextCharFormat::AlignSubScript;
            break;
        case Word::NoSuperSub:
            c.vertical = QTextCharFormat::AlignNormal;
            break;
        case Word::Plain:
            c = CharState{};
            c.bold = c.italic = c.underline = c.strike = false;
            c.halfPoints = kDefaultHalfPoints;
            break;
        case Word::Unicode:
            character(static_cast<char16_t>(value & 0xFFFF));
            fallbackLeft_ = g.fallbackSkip;
            break;
        case Word::UnicodeSkip:
            g.fallbackSkip = std::clamp(value, 0, kMaxFallbackSkip);
            break;
        default:
            paragraphWord(info.word, value);
            break;
    }
}

void Reader::colorWord(Word word, int value) {
    int* component = word == Word::Red     ? &red_
                     : word == Word::Green ? &green_
                     : word == Word::Blue  ? &blue_
                                           : nullptr;
    if (!component)
        return;
    *component = std::clamp(value, 0, 255);
    colorSet_ = true;
}

void Reader::paragraphWord(Word word, int value) {
    ParaState& p = group().para;
    int twips = std::clamp(value, -kMaxTwips, kMaxTwips);
    switch (word) {
        case Word::Pard:
            p = ParaState{};
            break;
        case Word::AlignLeft:
            p.alignment = Qt::AlignLeft;
            break;
        case Word::AlignCenter:
            p.alignment = Qt::AlignHCenter;
            break;
        case Word::AlignRight:
            p.alignment = Qt::AlignRight;
            break;
        case Word::AlignJustify:
            p.alignment = Qt::AlignJustify;
            break;
        case Word::LeftIndent:
            p.leftTwips = std::max(twips, 0);
            break;
        case Word::RightIndent:
            p.rightTwips = std::max(twips, 0);
            break;
        case Word::FirstIndent:
            p.firstLineTwips = twips;
            break;
        case Word::SpaceBefore:
            p.beforeTwips = std::max(twips, 0);
            break;
        case Word::SpaceAfter:
            p.afterTwips = std::max(twips, 0);
            break;
        default:
            break;
    }
}

void Reader::controlSymbol(char symbol) {
    if (groups_.empty())
        return;
    if (symbol == '*') {
        starred_ = true;
        return;
    }
    if (symbol == '\'') {
        // Two hex digits; a broken escape swallows the digits it has and gives nothing.
        int high = pos_ < in_.size() ? protocol::hexDigit(in_[pos_]) : -1;
        if (high < 0)
            return;
        ++pos_;
        int low = pos_ < in_.size() ? protocol::hexDigit(in_[pos_]) : -1;
        if (low < 0)
            return;
        ++pos_;
        if (fallbackLeft_ > 0) {
            --fallbackLeft_;
            return;
        }
        character(fromWindows1252(static_cast<unsigned char>(high * 16 + low)));
        return;
    }
    if (fallbackLeft_ > 0) {
        --fallbackLeft_;
        return;
    }
    switch (symbol) {
        case '\\':
        case '{':
        case '}':
            character(static_cast<char16_t>(symbol));
            break;
        case '~':
            character(u'\u00A0');
            break;
        case '_':
            character(u'\u2011');
            break;
        case '\r':
        case '\n':
            if (group().destination == Destination::Text)
                endParagraph();
            break;
        default:
            break;  // \- optional hyphen, \| \: and the rest
    }
}

// A zero stands for bytes that Windows-1252 leaves undefined, or for \u0:
// nothing to show.
void Reader::character(char16_t ch) {
    if (groups_.empty() || ch == 0)
        return;
    Group& g = group();
    switch (g.destination) {
        case Destination::Skip:
            return;
        case Destination::FontTable:
            if (ch == u';') {
                commitFont();
            } else if (fontName_.size() < kMaxFontNameLength) {
                fontName_ += QChar(ch);
            }
            return;
        case Destination::ColorTable:
            if (ch == u';')
                commitColor();
            return;
        case Destination::Text:
            break;
    }
    if (fallbackLeft_ > 0) {
        --fallbackLeft_;
        return;
    }
    if (!pending_.isEmpty() && !(pendingState_ == g.chars))
        flush();
    if (pending_.isEmpty())
        pendingState_ = g.chars;
    pending_ += QChar(ch);
}

void Reader::endParagraph() {
    flush();
    cursor_.setBlockFormat(blockFormat(group().para));
    cursor_.insertBlock(blockFormat(group().para), charFormat(group().chars));
}

void Reader::flush() {
    if (pending_.isEmpty())
        return;
    cursor_.insertText(pending_, charFormat(pendingState_));
    pending_.clear();
}

void Reader::commitFont() {
    QString name = fontName_.trimmed();
    if (fontNumber_ >= 0 && !name.isEmpty() &&
        (fonts_.size() < kMaxTableEntries || fonts_.count(fontNumber_))) {
        fonts_[fontNumber_] = name;
    }
    fontName_.clear();
}

void Reader::commitColor() {
    if (colors_.size() < kMaxTableEntries) {
        colors_.push_back(colorSet_ ? QColor(red_, green_, blue_) : QColor());
    }
    red_ = green_ = blue_ = 0;
    colorSet_ = false;
}

QTextCharFormat Reader::charFormat(const CharState& state) const {
    QTextCharFormat format;
    if (state.bold)
        format.setFontWeight(*state.bold ? QFont::Bold : QFont::Normal);
    if (state.italic)
        format.setFontItalic(*state.italic);
    if (state.underline)
        format.setFontUnderline(*state.underline);
    if (state.strike)
        format.setFontStrikeOut(*state.strike);
    if (state.halfPoints > 0)
        format.setFontPointSize(state.halfPoints / 2.0);
    auto font = fonts_.find(state.font >= 0 ? state.font : defaultFont_);
    if (font != fonts_.end())
        format.setFontFamilies(QStringList{font->second});
    auto color = [this](int index) {
        return index > 0 && static_cast<std::size_t>(index) < colors_.size() ? colors_[index]
                                                                             : QColor();
    };
    if (QColor fg = color(state.color); fg.isValid())
        format.setForeground(fg);
    if (QColor bg = color(state.background); bg.isValid())
        format.setBackground(bg);
    if (state.vertical != QTextCharFormat::AlignNormal)
        format.setVerticalAlignment(state.vertical);
    return format;
}

QTextBlockFormat Reader::blockFormat(const ParaState& state) const {
    QTextBlockFormat format;
    format.setAlignment(state.alignment);
    format.setLeftMargin(state.leftTwips / kTwipsPerPixel);
    format.setRightMargin(state.rightTwips / kTwipsPerPixel);
    format.setTextIndent(state.firstLineTwips / kTwipsPerPixel);
    format.setTopMargin(state.beforeTwips / kTwipsPerPixel);
    format.setBottomMargin(state.afterTwips / kTwipsPerPixel);
    return format;
}

}  // namespace

bool readRtf(QByteArrayView rtf, QTextDocument& document) {
    return Reader(rtf, document).run();
}

}  // namespace veltrin
