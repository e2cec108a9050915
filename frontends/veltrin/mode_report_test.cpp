// SPDX-License-Identifier: Apache-2.0
#include "frontends/veltrin/mode_report.h"

#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace veltrin {
namespace {

TEST(ModeReport, NamesPaddedToTheLongest) {
    EXPECT_EQ(modeReport({"A", "Long"}, {"1", "2"}),
              "Mode\t\t\tContent\r\n\r\nA     = 1\r\nLong  = 2\r\n");
    EXPECT_EQ(modeReport({}, {}), "Mode\t\t\tContent\r\n\r\n");
}

TEST(ModeReport, EightBitBytesKept) {
    const std::string bytes("caf\xe9 \xff", 6);
    EXPECT_NE(modeReport({"N"}, {bytes}).find(bytes), std::string::npos);
}

TEST(ModeReport, WriteReplacesAndFailureLeavesNoFile) {
    const std::string dir = support::makeTempDir("veltrin_report");
    const std::string path = dir + "/r.TXT";
    support::writeFile(path, "an older and much longer file than the report");
    ASSERT_TRUE(writeModeReport(path, {"A"}, {"1"}));
    EXPECT_EQ(support::readFile(path), "Mode\t\t\tContent\r\n\r\nA  = 1\r\n");
    EXPECT_FALSE(writeModeReport(dir + "/no/such/folder.TXT", {}, {}));
}

}  // namespace
}  // namespace veltrin
