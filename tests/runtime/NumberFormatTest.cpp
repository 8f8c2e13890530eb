#include "runtime/NumberFormat.h"
#include "tests/support/Printers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// Japanese and German differ in both separators, so a hard-coded one shows up in one column.
const QLocale kJapanese(QLocale::Japanese, QLocale::Japan);
const QLocale kGerman(QLocale::German, QLocale::Germany);

TEST(NumberFormat, GroupedWholeNumbers) {
    const struct { std::int64_t in; QString ja, de; } cases[] = {
        {1023, u"1,023"_s, u"1.023"_s}, {1234567, u"1,234,567"_s, u"1.234.567"_s}, {-1, u"-1"_s, u"-1"_s},
        {0, u""_s, u""_s}, {999, u"999"_s, u"999"_s}, {-1000, u"-1,000"_s, u"-1.000"_s},
        {std::numeric_limits<std::int64_t>::min(), u"-9,223,372,036,854,775,808"_s, u"-9.223.372.036.854.775.808"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(vb::formatGrouped(c.in, kJapanese), c.ja);
        EXPECT_EQ(vb::formatGrouped(c.in, kGerman), c.de);
    }
}

TEST(NumberFormat, GroupedTwoPlaces) {
    const struct { double in; QString ja, de; } cases[] = {
        {1, u"1."_s, u"1,"_s}, {1.5, u"1.5"_s, u"1,5"_s}, {1234.567, u"1,234.57"_s, u"1.234,57"_s},
        {1024, u"1,024."_s, u"1.024,"_s}, {0.9999995, u"1."_s, u"1,"_s}, {2047.99999904633, u"2,048."_s, u"2.048,"_s},
        {1.125, u"1.13"_s, u"1,13"_s}, {-1.125, u"-1.13"_s, u"-1,13"_s}, {1.005, u"1.01"_s, u"1,01"_s},
        {0.5, u".5"_s, u",5"_s}, {0, u"."_s, u","_s}, {0.004, u"."_s, u","_s}, {0.005, u".01"_s, u",01"_s},
        {-0.004, u"."_s, u","_s}, {-1234.5, u"-1,234.5"_s, u"-1.234,5"_s}, {999.995, u"1,000."_s, u"1.000,"_s},
        {0.1 + 0.2, u".3"_s, u",3"_s}, {100.1, u"100.1"_s, u"100,1"_s}, {0.07, u".07"_s, u",07"_s},
        {1e15, u"1,000,000,000,000,000."_s, u"1.000.000.000.000.000,"_s},
        {123456789012345678.0, u"123,456,789,012,346,000."_s, u"123.456.789.012.346.000,"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(vb::formatGroupedTwoPlaces(c.in, kJapanese), c.ja);
        EXPECT_EQ(vb::formatGroupedTwoPlaces(c.in, kGerman), c.de);
    }
}

TEST(NumberFormat, GroupsEvenWhenTheLocaleOmitsGrouping) {
    QLocale noGrouping = kGerman;
    noGrouping.setNumberOptions(QLocale::OmitGroupSeparator);
    EXPECT_EQ(vb::formatGrouped(1234, noGrouping), u"1.234"_s);
    EXPECT_EQ(vb::formatGroupedTwoPlaces(1234.5, noGrouping), u"1.234,5"_s);
    EXPECT_EQ(vb::formatGrouped(1234, QLocale::c()), u"1,234"_s);
}

TEST(NumberFormat, DefaultsToTheDefaultLocale) {
    struct RestoreDefault {
        QLocale saved;
        ~RestoreDefault() { QLocale::setDefault(saved); }
    } restore{QLocale()};
    QLocale::setDefault(kGerman);
    EXPECT_EQ(vb::formatGrouped(1234), u"1.234"_s);
    EXPECT_EQ(vb::formatGroupedTwoPlaces(1234.5), u"1.234,5"_s);
}

TEST(NumberFormat, AtLeastOneDigit) {
    const struct { std::int64_t in; QString out; } cases[] = {
        {0, u"0"_s}, {5, u"5"_s}, {-5, u"-5"_s}, {1234567, u"1234567"_s},
        {std::numeric_limits<std::int64_t>::min(), u"-9223372036854775808"_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vb::formatAtLeastOneDigit(c.in), c.out) << c.in;
}

} // namespace
