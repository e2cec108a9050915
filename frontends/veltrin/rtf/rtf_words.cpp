// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/rtf/rtf_words.h"

#include <map>

namespace veltrin::rtf {

const WordInfo* lookupWord(std::string_view name) {
    static const std::map<std::string_view, WordInfo> words = {
        {"par", {Word::Par}},
        {"page", {Word::Par}},
        {"sect", {Word::Par}},
        {"row", {Word::Par}},
        {"line", {Word::Line}},
        {"tab", {Word::Tab}},
        {"cell", {Word::Tab}},
        {"b", {Word::Bold}},
        {"i", {Word::Italic}},
        {"ul", {Word::Underline}},
        {"uld", {Word::Underline}},
        {"uldb", {Word::Underline}},
        {"ulw", {Word::Underline}},
        {"ulnone", {Word::UnderlineNone}},
        {"strike", {Word::Strike}},
        {"fs", {Word::FontSize}},
        {"f", {Word::Font}},
        {"deff", {Word::DefaultFont}},
        {"cf", {Word::Color}},
        {"cb", {Word::Background}},
        {"highlight", {Word::Background}},
        {"plain", {Word::Plain}},
        {"pard", {Word::Pard}},
        {"ql", {Word::AlignLeft}},
        {"qc", {Word::AlignCenter}},
        {"qr", {Word::AlignRight}},
        {"qj", {Word::AlignJustify}},
        {"li", {Word::LeftIndent}},
        {"ri", {Word::RightIndent}},
        {"fi", {Word::FirstIndent}},
        {"sb", {Word::SpaceBefore}},
        {"sa", {Word::SpaceAfter}},
        {"super", {Word::Super}},
        {"sub", {Word::Sub}},
        {"nosupersub", {Word::NoSuperSub}},
        {"u", {Word::Unicode}},
        {"uc", {Word::UnicodeSkip}},
        {"bin", {Word::Binary}},
        {"fonttbl", {Word::FontTable}},
        {"colortbl", {Word::ColorTable}},
        {"red", {Word::Red}},
        {"green", {Word::Green}},
        {"blue", {Word::Blue}},
        // Named characters.
        {"bullet", {Word::Symbol, u'\u2022'}},
        {"endash", {Word::Symbol, u'\u2013'}},
        {"emdash", {Word::Symbol, u'\u2014'}},
        {"lquote", {Word::Symbol, u'\u2018'}},
        {"rquote", {Word::Symbol, u'\u2019'}},
        {"ldblquote", {Word::Symbol, u'\u201C'}},
        {"rdblquote", {Word::Symbol, u'\u201D'}},
        {"enspace", {Word::Symbol, u'\u2002'}},
        {"emspace", {Word::Symbol, u'\u2003'}},
        {"qmspace", {Word::Symbol, u'\u2005'}},
        // Destinations whose text is not part of the document.
        {"info", {Word::SkipDestination}},
        {"stylesheet", {Word::SkipDestination}},
        {"pict", {Word::SkipDestination}},
        {"object", {Word::SkipDestination}},
        {"header", {Word::SkipDestination}},
        {"headerl", {Word::SkipDestination}},
        {"headerr", {Word::SkipDestination}},
        {"headerf", {Word::SkipDestination}},
        {"footer", {Word::SkipDestination}},
        {"footerl", {Word::SkipDestination}},
        {"footerr", {Word::SkipDestination}},
        {"footerf", {Word::SkipDestination}},
        {"footnote", {Word::SkipDestination}},
        {"annotation", {Word::SkipDestination}},
        {"fldinst", {Word::SkipDestination}},
        {"xe", {Word::SkipDestination}},
        {"tc", {Word::SkipDestination}},
        {"txe", {Word::SkipDestination}},
        {"falt", {Word::SkipDestination}},
        {"listtable", {Word::SkipDestination}},
        {"listoverridetable", {Word::SkipDestination}},
        {"revtbl", {Word::SkipDestination}},
        {"filetbl", {Word::SkipDestination}},
        {"pntext", {Word::SkipDestination}},
        {"pntxta", {Word::SkipDestination}},
        {"pntxtb", {Word::SkipDestination}},
        {"rxe", {Word::SkipDestination}},
        {"bkmkstart", {Word::SkipDestination}},
        {"bkmkend", {Word::SkipDestination}},
        {"nonshppict", {Word::SkipDestination}},
        {"shp", {Word::SkipDestination}},
        {"comment", {Word::SkipDestination}},
        {"title", {Word::SkipDestination}},
        {"author", {Word::SkipDestination}},
        {"operator", {Word::SkipDestination}},
        {"doccomm", {Word::SkipDestination}},
    };
    auto it = words.find(name);
    return it == words.end() ? nullptr : &it->second;
}

// The upper half of Windows-1252 differs from Latin-1 only in 0x80 to 0x9F.
char16_t fromWindows1252(unsigned char byte) {
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
    };
    if (byte >= 0x80 && byte < 0xA0)
        return kHigh[byte - 0x80];
    return byte;
}

}  // namespace veltrin::rtf
