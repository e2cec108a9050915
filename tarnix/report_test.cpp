// SPDX-License-Identifier: Apache-2.0
#include "tarnix/report.h"

#include <gtest/gtest.h>

#include "protocol/mode_listing.h"

#include <cstdio>
#include <string>

namespace tarnix {
namespace {

using protocol::ModeTable;

// Three modes; the longest names have 8 characters, so the name column is 12
// wide.
ModeTable table() {
    ModeTable t;
    t.parseDefinitions("UnitID = STRING, 16\r\nDateTime = STRING, 20\r\nGreeting = STRING, 9\r\n");
    t[0].nvram = "Old";
    t[0].newValue = "New";
    t[0].iniValue = "New";
    t[0].setInIni = true;
    t[1].nvram = "10:00";
    t[1].newValue = "10:01";
    t[1].iniValue = "9:00";
    t[1].setInIni = true;
    t[2].nvram = "hi";  // never reported by the second query, not in the ini
    return t;
}

std::string report(const ModeTable& t, int verbose, bool set) {
    std::FILE* file = std::tmpfile();
    printReport(file, t, {verbose, set, "127.0.2.1", "my.ini"});
    std::rewind(file);
    std::string text;
    char chunk[512];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
    std::fclose(file);
    return text;
}

const char* kChanges =
    "\n\n# ***  Changes  ***\n\n"
    "Mode        = NVRam Content, New Content\n\n"
    "UnitID      = Old, New\n";

TEST(TarnixReport, EmptyTableHasWidthFour) {
    ModeTable empty;
    EXPECT_EQ(protocol::nameColumnWidth(empty), 4);
    EXPECT_EQ(report(empty, 0, false), "\n\n# ***  Current Content  ***\n\nTargetIP = 127.0.2.1\n");
}

TEST(TarnixReport, ChangeComparesIgnoringCaseAndCountsMissingValues) {
    struct Case {
        std::optional<std::string> before, after;
        bool changed;
    } cases[] = {
        {"TRUE", "true", false},
        {"1", "2", true},
        {std::nullopt, "x", true},
        {"x", std::nullopt, true},
        {std::nullopt, std::nullopt, false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        protocol::ModeRecord r;
        r.nvram = c.before;
        r.newValue = c.after;
        EXPECT_EQ(valueChanged(r), c.changed) << c.before.value_or("-") << c.after.value_or("-");
    }
}

TEST(TarnixReport, ChangesListOnlyFlaggedModesWithMissingValuesAsNull) {
    ModeTable t = table();
    t[2].setInIni = true;
    t[2].iniValue = "bye";
    std::string text = report(t, 1, true);
    std::string tail = std::string(kChanges) + "Greeting    = hi, (null)\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    // The New Content section shows the missing value the same way.
    EXPECT_NE(text.find("\nGreeting    = (null)\n"), std::string::npos);
}

}  // namespace
}  // namespace tarnix
