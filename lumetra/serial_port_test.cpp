// SPDX-License-Identifier: Apache-2.0
#include "lumetra/serial_port.h"

#include <gtest/gtest.h>

#include <ostream>

namespace lumetra {
namespace {

struct Case {
    const char* label;
    SerialSettings settings;
    const char* expected;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.label;
}

class LumetraSttyLine : public testing::TestWithParam<Case> {};

TEST_P(LumetraSttyLine, ChoosesTheWords) {
    EXPECT_EQ(sttyLine(GetParam().settings), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, LumetraSttyLine,
    testing::Values(
        Case{"plain",
             {9600, 8, "N", 1, "N"},
             "stty -F /dev/ttyS0 ispeed 9600 ospeed 9600 cs8 -cstopb -parenb icrnl hupcl -icanon "
             "clocal -crtscts -ixon cread -echo -echoe -echok min 1\n"},
        Case{"evenHardware",
             {19200, 7, "E", 2, "H"},
             "stty -F /dev/ttyS0 ispeed 19200 ospeed 19200 cs7 cstopb parenb -parodd icrnl hupcl "
             "-icanon clocal crtscts -ixon cread -echo -echoe -echok min 1\n"},
        Case{"oddXon",
             {38400, 8, "Odd", 1, "XON"},
             "stty -F /dev/ttyS0 ispeed 38400 ospeed 38400 cs8 -cstopb parenb parodd icrnl hupcl "
             "-icanon clocal ixon -crtscts cread -echo -echoe -echok min 1\n"},
        // The tests are case-sensitive; 0 stop bits is not 1.
        Case{"lowerCaseAndZero",
             {1200, 5, "e", 0, "h"},
             "stty -F /dev/ttyS0 ispeed 1200 ospeed 1200 cs5 cstopb -parenb icrnl hupcl -icanon "
             "clocal -crtscts -ixon cread -echo -echoe -echok min 1\n"},
        Case{"missingWords",
             {9600, 8, nullptr, 1, nullptr},
             "stty -F /dev/ttyS0 ispeed 9600 ospeed 9600 cs8 -cstopb -parenb icrnl hupcl -icanon "
             "clocal -crtscts -ixon cread -echo -echoe -echok min 1\n"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.label); });

TEST(LumetraSttyLineLength, PlainSettingsMake137Characters) {
    EXPECT_EQ(sttyLine({9600, 8, "N", 1, "N"}).size(), 137u);
}

}  // namespace
}  // namespace lumetra
