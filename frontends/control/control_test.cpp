#include "frontends/control/control.h"

#include <gtest/gtest.h>

#include "frontends/control/recording_control.h"

namespace frontends {
namespace {

TEST(ControlFactory, MakesTheRegisteredControlAndNothingForAnUnknownName) {
    EXPECT_EQ(createControl(QStringLiteral("NOSUCHLib.Nothing")), nullptr);
    {
        RecordingRegistration fake(kLumetraControlName);
        fake.log().answer = [](int id, const QVariantList&) { return QVariant(id * 10); };
        auto control = createControl(kLumetraControlName);
        ASSERT_NE(control, nullptr);
        QVariantList args{QStringLiteral("a"), 7};
        EXPECT_EQ(control->invoke(3, args).toInt(), 30);
        ASSERT_EQ(fake.log().calls.size(), 1u);
        EXPECT_EQ(fake.log().calls[0].args, args);
    }
    EXPECT_EQ(createControl(kLumetraControlName), nullptr);
}

TEST(ControlResults, ConvertOnlyWholeNumbersThatFit) {
    struct Case {
        QVariant value;
        std::optional<qint16> as16;
        std::optional<qint32> as32;
    };
    const Case cases[] = {
        {QVariant(), std::nullopt, std::nullopt},
        {QVariant(short(-3)), -3, -3},
        {QVariant(40000), std::nullopt, 40000},
        {QVariant(qlonglong(1) << 40), std::nullopt, std::nullopt},
        {QVariant(QStringLiteral(" 12 ")), 12, 12},
        {QVariant(QStringLiteral("12x")), std::nullopt, std::nullopt},
        {QVariant(1.5), std::nullopt, std::nullopt},
        {QVariant(true), 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.toString().toStdString());
        EXPECT_EQ(toInt16(c.value), c.as16);
        EXPECT_EQ(toInt32(c.value), c.as32);
    }
}

}  // namespace
}  // namespace frontends
