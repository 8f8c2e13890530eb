// How the run reads a building number.
#include "revision/BuildingNumber.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

namespace {

using testsupport::raised;

TEST(BuildingNumber, ReadsLikeTheRun) {
    struct Case {
        vb::Variant value;
        std::int32_t expected;
    } cases[] = {
        {vb::Variant(), 0},
        {vb::Variant(std::int64_t{105}), 105},
        {vb::Variant(12.5), 12},
        {vb::Variant(13.5), 14},
        {vb::Variant(-2.5), -2},
        {vb::Variant(QStringLiteral(" 12 ")), 12},
        {vb::Variant(QStringLiteral("12A")), 12},
        {vb::Variant(QStringLiteral("A12")), 0},
        {vb::Variant(QString()), 0},
        {vb::Variant(QStringLiteral("&H1F")), 31},
        {vb::Variant(QStringLiteral("1E3")), 1000},
        {vb::Variant(std::int64_t{2147483647}), 2147483647},
        {vb::Variant(std::int64_t{-2147483648LL}), -2147483647 - 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.toText().toStdString());
        EXPECT_EQ(BuildingNumber(c.value), c.expected);
    }
}

TEST(BuildingNumber, OutsideThirtyTwoBitsIsOverflow) {
    for (const vb::Variant& v : {vb::Variant(std::int64_t{2147483648LL}), vb::Variant(2147483647.5), vb::Variant(-2147483648.51),
                                 vb::Variant(QStringLiteral("1E20"))}) {
        SCOPED_TRACE(v.toText().toStdString());
        EXPECT_EQ(raised([&] { BuildingNumber(v); }).number(), vb::kOverflow);
    }
}

} // namespace
