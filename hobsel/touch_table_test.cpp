// SPDX-License-Identifier: Apache-2.0
#include "hobsel/touch_table.h"

#include <gtest/gtest.h>

#include <string>

namespace hobsel {
namespace {

std::string entries(const TouchState& state) {
    std::string out;
    for (const TouchEntry& e : state.entries)
        out += "[" + e.name + (e.value ? "=" + *e.value : std::string()) + "]";
    return out;
}

TEST(TouchTable, LinesCommentsQuotesAndSeparators) {
    const struct {
        const char* text;
        const char* expected;  // entries of the first state
    } cases[] = {
        {"[INIT]\nTOUCH = 1 # touch on\n", "[TOUCH=1]"},
        {"[INIT]\r\n\r\n  IMAGE\t\"a#b.gif\"  ' note\r\n", "[IMAGE=a#b.gif]"},
        {"[INIT]\nIMAGE \"open\n", "[IMAGE=open]"},
        {"[INIT]\nA0-C3,=, NEXT\nEXIT\n", "[A0-C3=NEXT][EXIT]"},
        {"[INIT]\n=value\n,x\n", "[=value][=x]"},
        {"[INIT]\nIMAGE =  \n# only a comment\n'another\n", "[IMAGE]"},
        {"[INIT]\nSCAN \"said \"twice\"\"\n", "[SCAN=said \"twice\"]"},
    };
    for (const auto& c : cases) {
        TouchTable table = parseTouchTable(c.text);
        ASSERT_EQ(table.states.size(), 1u) << c.text;
        EXPECT_EQ(table.states[0].name, "INIT");
        EXPECT_EQ(entries(table.states[0]), c.expected) << c.text;
        EXPECT_TRUE(table.usable());
    }
}

TEST(TouchTable, FirstLineWithoutHeaderOpensAStateAndIsItsFirstEntry) {
    TouchTable table = parseTouchTable("XINIT touch\nIMAGE a.gif\n[s2\nTOUCH\n");
    ASSERT_EQ(table.states.size(), 2u);
    EXPECT_EQ(table.states[0].name, "INIT touch");
    EXPECT_EQ(entries(table.states[0]), "[XINIT=touch][IMAGE=a.gif]");
    EXPECT_EQ(table.states[1].name, "s2");
    EXPECT_TRUE(table.find("init TOUCH") != nullptr);
    EXPECT_FALSE(table.usable());  // no state is named INIT
}

TEST(TouchTable, StateLimitPoolAndLongLines) {
    std::string states = "[INIT]\n";
    for (int i = 1; i < 99; ++i) states += "[S" + std::to_string(i) + "]\n";
    EXPECT_TRUE(parseTouchTable(states).usable());
    EXPECT_FALSE(parseTouchTable(states + "[S99]\n").usable());

    // Entries that no longer fit the pool are left out; a state name that
    // no longer fits ends the loading.
    std::string big(1000, 'v');
    std::string full = "[INIT]\n";
    for (int i = 0; i < 70; ++i) full += "E " + big + "\n";
    full += "SMALL\n";
    TouchTable table = parseTouchTable(full);
    EXPECT_TRUE(table.usable());
    std::size_t taken = table.states[0].entries.size();
    EXPECT_EQ(taken, 64u + 1);  // 64 big entries and the small one that still fits
    EXPECT_FALSE(parseTouchTable(full + "[" + std::string(900, 'n') + "]\n").usable());

    TouchTable longLine = parseTouchTable("[INIT]\nIMAGE " + std::string(3000, 'x') + "\n");
    ASSERT_EQ(longLine.states[0].entries.size(), 1u);
    EXPECT_EQ(longLine.states[0].entries[0].value->size(), 1023u - 6);
}

TEST(TouchTable, BooleanValues) {
    const struct {
        const char* value;
        bool boolean;
        bool reads;  // with fallback true
    } cases[] = {{"1", true, true},     {"true", true, true},   {"Yes", true, true},
                 {"0", true, false},    {"false", true, false}, {"no", true, false},
                 {"NEXT", true, false}, {"on", true, true},     {"OFF", true, false},
                 {"Oh", false, true},   {"2", false, true},     {"", false, true}};
    for (const auto& c : cases) {
        std::optional<std::string> v = std::string(c.value);
        EXPECT_EQ(isBooleanValue(v), c.boolean) << c.value;
        EXPECT_EQ(readBoolean(v, true), c.reads) << c.value;
    }
    EXPECT_FALSE(isBooleanValue(std::nullopt));
    EXPECT_FALSE(readBoolean(std::nullopt, false));
}

}  // namespace
}  // namespace hobsel
