// SPDX-License-Identifier: Apache-2.0
#include "platform/utf16.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf16FromUtf8, EveryLengthOfSequenceAndTheLimitsOfEach) {
    struct Case {
        const char* what;
        std::string utf8;
        std::wstring utf16;
    } cases[] = {
        {"empty", "", L""},
        {"ASCII", "C:/Suite/header.gif", L"C:/Suite/header.gif"},
        {"two bytes", "Z\xC3\xB6rrel", std::wstring{L'Z', 0x00F6, L'r', L'r', L'e', L'l'}},
        {"smallest of two", "\xC2\x80", std::wstring{0x0080}},
        {"largest of two", "\xDF\xBF", std::wstring{0x07FF}},
        {"three bytes", "\xE6\x97\xA5", std::wstring{0x65E5}},
        {"smallest of three", "\xE0\xA0\x80", std::wstring{0x0800}},
        {"just below the surrogates", "\xED\x9F\xBF", std::wstring{0xD7FF}},
        {"just above the surrogates", "\xEE\x80\x80", std::wstring{0xE000}},
        {"largest of three", "\xEF\xBF\xBF", std::wstring{0xFFFF}},
        {"four bytes: a surrogate pair", "\xF0\x9F\x98\x80", std::wstring{0xD83D, 0xDE00}},
        {"smallest of four", "\xF0\x90\x80\x80", std::wstring{0xD800, 0xDC00}},
        {"largest code point", "\xF4\x8F\xBF\xBF", std::wstring{0xDBFF, 0xDFFF}},
        {"a zero byte passes as it is", std::string("a\0b", 3), std::wstring{L'a', 0, L'b'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<std::wstring> wide = platform::utf16FromUtf8(c.utf8);
        ASSERT_TRUE(wide);
        EXPECT_EQ(*wide, c.utf16);
    }
}

TEST(Utf16FromUtf8, RefusesWhatIsNotStrictUtf8) {
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"a continuation byte alone", "a\x80"},
        {"a system code page byte (Latin-1 o umlaut)", "Z\xF6rrel"},
        {"a cut two-byte sequence", "\xC3"},
        {"a cut four-byte sequence", "\xF0\x9F\x98"},
        {"a lead byte where a continuation belongs", "\xE6\x97\xE6"},
        {"overlong two bytes (C0)", "\xC0\xAF"},
        {"overlong two bytes (C1)", "\xC1\xBF"},
        {"overlong three bytes", "\xE0\x9F\xBF"},
        {"overlong four bytes", "\xF0\x8F\xBF\xBF"},
        {"a surrogate", "\xED\xA0\x80"},
        {"past U+10FFFF", "\xF4\x90\x80\x80"},
        {"a lead byte past F4", "\xF5\x80\x80\x80"},
        {"FF", "\xFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(platform::utf16FromUtf8(c.bytes));
    }
}

TEST(Utf8Path, KeepsTheBytesOfAPosixPath) {
    const std::string name = "/tmp/Z\xC3\xB6rrel \xE6\x97\xA5/header.gif";
    EXPECT_EQ(platform::utf8Path(std::filesystem::path(name)), name);
}

}  // namespace
