// SPDX-License-Identifier: Apache-2.0
#include "ui/qt/text.h"

#include <gtest/gtest.h>

namespace ui::qt {
namespace {

// Qt takes UTF-8 as the 8-bit encoding of every Unix locale.
struct Case {
    const char* bytes;
    const char16_t* shown;
};

const Case kCases[] = {
    {"", u""},
    {"UNIT0001", u"UNIT0001"},
    {"\xe2\x82\xac 5", u"\u20ac 5"},
    {"caf\xc3\xa9", u"caf\u00e9"},
    {"\xd0\x96", u"\u0416"},
};

TEST(QtText, WidenAndNarrowAreOnePair) {
    for (const Case& c : kCases) {
        const QString shown = widen(c.bytes);
        EXPECT_EQ(shown, QString::fromUtf16(c.shown)) << c.bytes;
        EXPECT_EQ(narrow(shown), std::string(c.bytes));
    }
}

TEST(QtText, BytesKeepTheirLengthThroughAStringView) {
    const std::string withZero("a\0b", 3);
    EXPECT_EQ(widen(withZero).size(), 3);
}

}  // namespace
}  // namespace ui::qt
