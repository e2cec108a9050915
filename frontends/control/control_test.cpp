// SPDX-License-Identifier: Apache-2.0
#include "frontends/control/control.h"

#include <gtest/gtest.h>

#include "frontends/control/recording_control.h"

namespace frontends {
namespace {

TEST(ControlFactory, MakesTheRegisteredControlAndNothingForAnUnknownName) {
    EXPECT_EQ(createControl("NOSUCHLib.Nothing"), nullptr);
    {
        RecordingRegistration fake(kLumetraControlName);
        fake.log().answer = [](int id, const Arguments&) { return Value(std::int32_t(id * 10)); };
        auto control = createControl(kLumetraControlName);
        ASSERT_NE(control, nullptr);
        Arguments args{std::string("a"), std::int32_t(7)};
        EXPECT_EQ(toInt32(control->invoke(3, args)), 30);
        ASSERT_EQ(fake.log().calls.size(), 1u);
        EXPECT_EQ(fake.log().calls[0].args, args);
    }
    EXPECT_EQ(createControl(kLumetraControlName), nullptr);
}

TEST(ControlResults, ConvertOnlyWholeNumbersThatFit) {
    struct Case {
        Value value;
        std::optional<std::int16_t> as16;
        std::optional<std::int32_t> as32;
    };
    const Case cases[] = {
        {Value(), std::nullopt, std::nullopt},
        {std::int16_t(-3), -3, -3},
        {std::int32_t(40000), std::nullopt, 40000},
        {std::int64_t(1) << 40, std::nullopt, std::nullopt},
        {std::string(" 12 "), 12, 12},
        {std::string("+7"), 7, 7},
        {std::string("12x"), std::nullopt, std::nullopt},
        {std::string(""), std::nullopt, std::nullopt},
        {std::string("2147483648"), std::nullopt, std::nullopt},
        {1.5, std::nullopt, std::nullopt},
        {true, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(describe(c.value));
        EXPECT_EQ(toInt16(c.value), c.as16);
        EXPECT_EQ(toInt32(c.value), c.as32);
    }
}

TEST(ControlArguments, IntegersOfAnyFittingKindAndStringsOnlyAsStrings) {
    EXPECT_EQ(int16Argument(std::int32_t(8)), 8);
    EXPECT_EQ(int16Argument(std::int32_t(40000)), std::nullopt);
    EXPECT_EQ(int32Argument(std::int64_t(1) << 33), std::nullopt);
    EXPECT_EQ(int32Argument(std::string("9600")), std::nullopt);
    EXPECT_EQ(int32Argument(true), std::nullopt);
    EXPECT_EQ(stringArgument(std::string("N")), "N");
    EXPECT_EQ(stringArgument(std::int16_t(5)), std::nullopt);
}

}  // namespace
}  // namespace frontends
