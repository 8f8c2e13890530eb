#include "runtime/Conversion.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

using namespace Qt::StringLiterals;

namespace {

using testsupport::raised;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(Conversion, CLngRoundsHalfToEvenUpToTheBoundaries) {
    const struct { double in; std::int32_t out; } cases[] = {
        {2.5, 2}, {3.5, 4}, {-2.5, -2}, {-3.5, -4}, {0.5, 0}, {1.5, 2}, {-0.5, 0}, {-1.5, -2},
        {2.4999, 2}, {2.5001, 3}, {-2.5001, -3}, {0.49999999999999994, 0}, {-0.49999999999999994, 0},
        {1e-300, 0}, {7.0, 7}, {-7.0, -7},
        {2147483647.49, kMax}, {2147483646.5, 2147483646}, {-2147483648.5, kMin},
        {-2147483647.5, kMin}, {-2147483648.49, kMin},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(vb::CLng(c.in), c.out);
    }
}

TEST(Conversion, CLngRaisesOverflowOutsideTheRange) {
    for (double v : {2147483647.5, 2147483648.0, -2147483648.51, -2147483649.0, 1e300, -1e300, kNaN, kInf, -kInf}) {
        SCOPED_TRACE(v);
        EXPECT_EQ(raised([&] { vb::CLng(v); }).number(), vb::kOverflow);
    }
}

TEST(Conversion, RoundHalfEvenOnValuesBeyond32Bits) {
    EXPECT_EQ(vb::roundHalfEven(4503599627370495.5), 4503599627370496.0); // 2^52 - 0.5
    EXPECT_EQ(vb::roundHalfEven(-4503599627370494.5), -4503599627370494.0);
    EXPECT_EQ(vb::roundHalfEven(9007199254740993.0), 9007199254740993.0); // already whole
    EXPECT_TRUE(std::isnan(vb::roundHalfEven(kNaN)));
}

TEST(Conversion, IntDivAndModTruncateTowardZero) {
    const struct { std::int32_t a, b, quotient, remainder; } cases[] = {
        {7, 2, 3, 1}, {-7, 2, -3, -1}, {7, -2, -3, 1}, {-7, -2, 3, -1}, {0, 5, 0, 0}, {6, 3, 2, 0},
        {kMin, 1, kMin, 0}, {kMin, 2, -1073741824, 0}, {kMax, -1, -kMax, 0}, {kMin, kMax, -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << " by " << c.b);
        EXPECT_EQ(vb::IntDiv(c.a, c.b), c.quotient);
        EXPECT_EQ(vb::Mod(c.a, c.b), c.remainder);
    }
    EXPECT_EQ(vb::Mod(kMin, -1), 0);
}

TEST(Conversion, IntDivAndModErrors) {
    EXPECT_EQ(raised([] { vb::IntDiv(1, 0); }).number(), vb::kDivisionByZero);
    EXPECT_EQ(raised([] { vb::Mod(1, 0); }).number(), vb::kDivisionByZero);
    EXPECT_EQ(raised([] { vb::IntDiv(0, 0); }).number(), vb::kDivisionByZero);
    EXPECT_EQ(raised([] { vb::IntDiv(kMin, -1); }).number(), vb::kOverflow);
}

TEST(Conversion, ValReadsTheLeadingNumber) {
    const QString manyZeros(400, u'0');
    const struct { QString in; double out; } cases[] = {
        // blanks anywhere
        {u"1 2 3"_s, 123}, {u" 12 "_s, 12}, {u"\t\n\r-\t1 2"_s, -12}, {u"1 000 000"_s, 1e6},
        {u"1 e 2"_s, 100}, {u"- . 5"_s, -0.5},
        // where reading stops
        {u"12A"_s, 12}, {u"A12"_s, 0}, {u""_s, 0}, {u"   "_s, 0}, {u"1.2.3"_s, 1.2}, {u"1,000"_s, 1},
        {u"--5"_s, 0}, {u"-"_s, 0}, {u"."_s, 0}, {u"+7"_s, 7}, {u"5."_s, 5}, {u"-.5"_s, -0.5},
        {u"0x10"_s, 0}, {u"\u00A012"_s, 0}, {u"3.5e-1x"_s, 0.35},
        // only ASCII digits count
        {u"\uFF11\uFF12"_s, 0}, {u"1\uFF12"_s, 1},
        // exponents
        {u"1e"_s, 1}, {u"1e+"_s, 1}, {u"1E-"_s, 1}, {u"1D3"_s, 1000}, {u"1d-3"_s, 0.001}, {u"2E2"_s, 200},
        {u"1e+03"_s, 1000}, {u"2.5E1"_s, 25},
        // decimal values read exactly as their nearest double
        {u"0.1"_s, 0.1}, {u"000123.4500"_s, 123.45}, {u"123456789012345678"_s, 123456789012345678.0},
        {u"-2147483648"_s, -2147483648.0}, {"1" + manyZeros + "e-400", 1}, {"0." + manyZeros + "1e401", 1},
        // out of range
        {u"1E400"_s, kInf}, {u"-1e400"_s, -kInf}, {u"1E99999999999999999999"_s, kInf}, {u"1e-400"_s, 0},
        {u"0e999999999999999999"_s, 0},
        // hexadecimal and octal: 16-bit, then 32-bit, signed
        {u"&HFFFF"_s, -1}, {u"&H10000"_s, 65536}, {u"&HFFFFFFFF"_s, -1}, {u"&H7FFF"_s, 32767},
        {u"&H8000"_s, -32768}, {u"&H7FFFFFFF"_s, 2147483647}, {u"&H80000000"_s, -2147483648.0},
        {u"&hff"_s, 255}, {u"&H1G"_s, 1}, {u"&H"_s, 0}, {u"&H0FFFF"_s, -1}, {u" & H 1 0"_s, 16},
        {u"&O17"_s, 15}, {u"&o177777"_s, -1}, {u"&O200000"_s, 65536}, {u"&O37777777777"_s, -1},
        {u"&O8"_s, 0}, {u"&X1"_s, 0}, {u"&"_s, 0}, {u"&12"_s, 0}, {u"-&H10"_s, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in.toStdString());
        EXPECT_EQ(vb::Val(c.in), c.out);
    }
    EXPECT_FALSE(std::signbit(vb::Val(u"-0")));
    EXPECT_EQ(raised([] { vb::CLng(vb::Val(u"1E400")); }).number(), vb::kOverflow);
}

TEST(Conversion, ValRaisesOverflowForWideHexAndOctal) {
    for (QStringView in : {u"&H100000000", u"&H123456789ABCDEF0123", u"&O40000000000"}) {
        SCOPED_TRACE(in.toString().toStdString());
        EXPECT_EQ(raised([&] { vb::Val(in); }).number(), vb::kOverflow);
    }
}

TEST(Conversion, NumbersSurviveTheTextRoundTrip) {
    std::mt19937 gen(20240611);
    std::uniform_int_distribution<std::int32_t> anyInt(kMin, kMax);
    std::vector<std::int32_t> ints = {0, 1, -1, kMin, kMax, kMin + 1, kMax - 1};
    for (int k = 0; k < 2000; ++k)
        ints.push_back(anyInt(gen));
    for (std::int32_t i : ints)
        ASSERT_EQ(vb::CLng(vb::Val(QString::number(i))), i);

    // Shortest round-trip texts of arbitrary doubles read back to the same double.
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-1000, 1000);
    for (int k = 0; k < 2000; ++k) {
        const double d = std::ldexp(mantissa(gen), exponent(gen));
        ASSERT_EQ(vb::Val(QString::number(d, 'g', 17)), d);
    }
}

} // namespace
