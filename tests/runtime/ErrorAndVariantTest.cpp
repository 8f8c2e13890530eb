#include "runtime/RuntimeError.h"
#include "runtime/Truth.h"
#include "runtime/Variant.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

using testsupport::raised;

TEST(RuntimeError, CarriesNumberAndDescription) {
    const vb::RuntimeError standard = raised([] { vb::raise(vb::kOverflow); });
    EXPECT_EQ(standard.number(), 6);
    EXPECT_EQ(standard.description(), u"Overflow"_s);
    EXPECT_STREQ(standard.what(), "Overflow");
    const vb::RuntimeError own = raised([] { vb::raise(1000, u"Datei \u00FCberschrieben"_s); });
    EXPECT_EQ(own.number(), 1000);
    EXPECT_STREQ(own.what(), "Datei \xC3\xBC" "berschrieben"); // UTF-8
    EXPECT_EQ(vb::standardDescription(12345), u"Application-defined or object-defined error"_s);
}

TEST(Variant, ToText) {
    QByteArray utf16(4, '\0');
    std::memcpy(utf16.data(), u"hi", 4);
    const struct { vb::Variant in; QString out; } cases[] = {
        {vb::Variant(), u""_s}, {105, u"105"_s}, {12.5, u"12.5"_s}, {1e20, u"1E+20"_s}, {1e-5, u"1E-05"_s},
        {-2.5, u"-2.5"_s}, {0.1 + 0.2, u"0.3"_s}, {std::int64_t{1} << 62, u"4611686018427387904"_s},
        {u"text"_s, u"text"_s}, {utf16, u"hi"_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.in.toText(), c.out);
    EXPECT_TRUE(vb::Variant().isNull());
    EXPECT_TRUE(vb::Variant(3).isInteger());
}

// Each text must read back through Val as the same number (where it is one),
// in the runtime's Japanese date form.
TEST(Variant, StoredKindsToText) {
    const struct { vb::Variant in; QString out; } cases[] = {
        {vb::Currency::fromRaw(125000), u"12.5"_s},
        {vb::Currency::fromRaw(-1), u"-0.0001"_s},
        {vb::Currency::fromRaw(1050000), u"105"_s},
        {vb::Currency::fromRaw(0), u"0"_s},
        {vb::Currency::fromRaw(INT64_MIN), u"-922337203685477.5808"_s},
        {vb::Currency::fromRaw(1001000), u"100.1"_s},
        {vb::TruthValue{vb::vbTrue}, u"True"_s},
        {vb::TruthValue{vb::vbFalse}, u"False"_s},
        {vb::Date{45351.5729166666}, u"2024/02/29 13:45:00"_s},
        {vb::Date{45351.0}, u"2024/02/29"_s},
        {vb::Date{0.0}, u"0:00:00"_s},
        {vb::Date{0.75}, u"18:00:00"_s},
        {vb::Date{-1.25}, u"1899/12/29 6:00:00"_s},
        {vb::Date{1.0 - 1e-9}, u"1899/12/31"_s}, // rounds up into the next day
        {vb::Date{2958465.999988426}, u"9999/12/31 23:59:59"_s},
        {vb::Decimal{u"-12.5"_s}, u"-12.5"_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.in.toText(), c.out);
    EXPECT_NE(vb::Variant(vb::TruthValue{vb::vbTrue}), vb::Variant(-1));
}

TEST(Truth, TrueIsAllBitsSet) {
    EXPECT_EQ(vb::toBoolean(true), -1);
    EXPECT_EQ(vb::toBoolean(false), 0);
    EXPECT_TRUE(vb::isTrue(2));
    EXPECT_FALSE(vb::isTrue(vb::vbFalse));
}

} // namespace
