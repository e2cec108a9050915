// SPDX-License-Identifier: Apache-2.0
// The control words the RTF reader knows, and the code page of its 8-bit text.
#pragma once

#include <string_view>

namespace veltrin::rtf {

enum class Word {
    Par,
    Line,
    Tab,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Strike,
    FontSize,
    Font,
    DefaultFont,
    Color,
    Background,
    Plain,
    Pard,
    AlignLeft,
    AlignCenter,
    AlignRight,
    AlignJustify,
    LeftIndent,
    RightIndent,
    FirstIndent,
    SpaceBefore,
    SpaceAfter,
    Super,
    Sub,
    NoSuperSub,
    Unicode,
    UnicodeSkip,
    Binary,
    FontTable,
    ColorTable,
    Red,
    Green,
    Blue,
    SkipDestination,
    Symbol,
};

struct WordInfo {
    Word word;
    char16_t symbol = 0;  // for Word::Symbol
};

// The word's meaning, or null for a word the reader ignores.
const WordInfo* lookupWord(std::string_view name);

// The character of a Windows-1252 byte; 0 for the five bytes it leaves undefined.
char16_t fromWindows1252(unsigned char byte);

}  // namespace veltrin::rtf
