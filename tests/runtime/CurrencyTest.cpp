#include "runtime/Currency.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>

namespace {

using testsupport::raised;

constexpr std::int64_t kRawMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kRawMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kMin32 = std::numeric_limits<std::int32_t>::min();

TEST(Currency, FromDoubleRoundsToFourPlacesHalfToEven) {
    const struct { double in; std::int64_t raw; } cases[] = {
        {1.0, 10000}, {-1.0, -10000}, {1.23456, 12346}, {-1.23454, -12345},
        {0.03125, 312}, {0.09375, 938}, {-0.03125, -312}, // exact binary halves
        {0.00015, 2}, {0.00025, 2}, {-0.00015, -2}, // halves as written, though stored a hair off
        {922337203685477.0, 9223372036854770000},
        {-922337203685477.5, -9223372036854775000}, {1e-5, 0}, {5e-5, 0}, {-0.0, 0}, {0.00035, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(vb::Currency::fromDouble(c.in).raw(), c.raw);
    }
}

TEST(Currency, FromDoubleRaisesOverflowOutsideTheRange) {
    for (double v : {922337203685478.0, -922337203685478.0, 922337203685477.5807, -922337203685477.5808, 1e19, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()}) {
        SCOPED_TRACE(v);
        EXPECT_EQ(raised([&] { vb::Currency::fromDouble(v); }).number(), vb::kOverflow);
    }
}

TEST(Currency, DoubleRoundTripKeepsEveryTenThousandth) {
    std::mt19937_64 gen(7);
    std::uniform_int_distribution<std::int64_t> raw(-(std::int64_t{1} << 50), std::int64_t{1} << 50);
    for (int k = 0; k < 5000; ++k) {
        const vb::Currency c = vb::Currency::fromRaw(raw(gen));
        ASSERT_EQ(vb::Currency::fromDouble(c.toDouble()), c) << c.raw();
    }
}

TEST(Currency, CLngRoundsTheExactAmount) {
    const struct { std::int64_t raw; std::int64_t out; } cases[] = {
        {25000, 2}, {35000, 4}, {-25000, -2}, {-35000, -4}, {5000, 0}, {-5000, 0}, {15000, 2},
        {24999, 2}, {25001, 3}, {-5001, -1}, {0, 0},
        {kMax32 * 10000 + 4999, kMax32}, {kMin32 * 10000 - 5000, kMin32}, {kMin32 * 10000 + 5000, kMin32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(vb::CLng(vb::Currency::fromRaw(c.raw)), c.out);
    }
    for (std::int64_t raw : {kMax32 * 10000 + 5000, kMin32 * 10000 - 5001, kRawMax, kRawMin}) {
        SCOPED_TRACE(raw);
        EXPECT_EQ(raised([&] { vb::CLng(vb::Currency::fromRaw(raw)); }).number(), vb::kOverflow);
    }
}

} // namespace
