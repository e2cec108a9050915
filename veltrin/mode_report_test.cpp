#include "veltrin/mode_report.h"

#include <gtest/gtest.h>

#include <QFile>

#include "tests/support/process.h"

namespace veltrin {
namespace {

TEST(ModeReport, NamesPaddedToTheLongest) {
    EXPECT_EQ(modeReport({"A", "Long"}, {"1", "2"}),
              QByteArray("Mode\t\t\tContent\r\n\r\nA     = 1\r\nLong  = 2\r\n"));
    EXPECT_EQ(modeReport({}, {}), QByteArray("Mode\t\t\tContent\r\n\r\n"));
}

TEST(ModeReport, EightBitBytesKept) {
    const QByteArray bytes("caf\xe9 \xff", 6);
    EXPECT_TRUE(modeReport({"N"}, {QString::fromLatin1(bytes)}).contains(bytes));
}

TEST(ModeReport, WriteReplacesAndFailureLeavesNoFile) {
    const std::string dir = support::makeTempDir("veltrin_report");
    const QString path = QString::fromStdString(dir + "/r.TXT");
    support::writeFile(path.toStdString(), "an older and much longer file than the report");
    ASSERT_TRUE(writeModeReport(path, {"A"}, {"1"}));
    EXPECT_EQ(support::readFile(path.toStdString()), "Mode\t\t\tContent\r\n\r\nA  = 1\r\n");
    EXPECT_FALSE(writeModeReport(QString::fromStdString(dir + "/no/such/folder.TXT"), {}, {}));
}

}  // namespace
}  // namespace veltrin
