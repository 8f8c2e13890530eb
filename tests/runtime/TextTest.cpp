#include "runtime/Text.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using vb::Compare;

namespace {

using testsupport::raised;

// "a", U+1F600 (two code units), "b": four code units in all.
const QString kNonBmp = u"a\U0001F600b"_s;

TEST(Text, LeftAndMid) {
    EXPECT_EQ(vb::Left(u"abc"_s, 0), u""_s);
    EXPECT_EQ(vb::Left(u"abc"_s, 2), u"ab"_s);
    EXPECT_EQ(vb::Left(u"abc"_s, 5), u"abc"_s);
    EXPECT_EQ(vb::Left(u""_s, 3), u""_s);
    EXPECT_EQ(vb::Mid(u"abc"_s, 1), u"abc"_s);
    EXPECT_EQ(vb::Mid(u"abc"_s, 3), u"c"_s);
    EXPECT_EQ(vb::Mid(u"abc"_s, 4), u""_s);
    EXPECT_EQ(vb::Mid(u"abc"_s, 100), u""_s);
    EXPECT_EQ(vb::Mid(u"abcdef"_s, 2, 3), u"bcd"_s);
    EXPECT_EQ(vb::Mid(u"abcdef"_s, 5, 10), u"ef"_s);
    EXPECT_EQ(vb::Mid(u"abc"_s, 4, 1), u""_s);
    EXPECT_EQ(vb::Mid(u"abc"_s, 1, 0), u""_s);
    EXPECT_EQ(vb::LastChar(u"abc"_s), u"c"_s);
    EXPECT_EQ(vb::LastChar(u""_s), u""_s);
}

TEST(Text, InvalidCountsAndPositionsRaiseError5) {
    const QString s = u"abc"_s;
    EXPECT_EQ(raised([&] { vb::Left(s, -1); }).number(), vb::kInvalidProcedureCall);
    EXPECT_EQ(raised([&] { vb::Mid(s, 0); }).number(), vb::kInvalidProcedureCall);
    EXPECT_EQ(raised([&] { vb::Mid(s, -3); }).number(), vb::kInvalidProcedureCall);
    EXPECT_EQ(raised([&] { vb::Mid(s, 1, -1); }).number(), vb::kInvalidProcedureCall);
    EXPECT_EQ(raised([&] { vb::Mid(s, 0, 1); }).number(), vb::kInvalidProcedureCall);
    EXPECT_EQ(raised([&] { vb::InStr(0, s, u"a"_s, Compare::Binary); }).number(), vb::kInvalidProcedureCall);
}

TEST(Text, PositionsCountUtf16CodeUnits) {
    EXPECT_EQ(vb::Left(kNonBmp, 2), u"a\xD83D"_s); // cuts the pair: counts are code units
    EXPECT_EQ(vb::Mid(kNonBmp, 2, 2), u"\U0001F600"_s);
    EXPECT_EQ(vb::Mid(kNonBmp, 4), u"b"_s);
    EXPECT_EQ(vb::InStr(1, kNonBmp, u"b"_s, Compare::Binary), 4);
    EXPECT_EQ(vb::InStr(1, kNonBmp + kNonBmp, u"b"_s, Compare::Text), 4);
    EXPECT_EQ(vb::InStrRev(kNonBmp + kNonBmp, u"\U0001F600"_s, Compare::Binary), 6);
    EXPECT_EQ(vb::LastChar(u"a\U0001F600"_s), u"\xDE00"_s);
}

TEST(Text, InStr) {
    const struct { qsizetype start; QString s, what; Compare mode; qsizetype out; } cases[] = {
        {1, u"abcabc"_s, u"bc"_s, Compare::Binary, 2}, {3, u"abcabc"_s, u"bc"_s, Compare::Binary, 5},
        {6, u"abcabc"_s, u"bc"_s, Compare::Binary, 0}, {10, u"abc"_s, u"a"_s, Compare::Binary, 0},
        {1, u"abc"_s, u"B"_s, Compare::Binary, 0}, {1, u"abc"_s, u"B"_s, Compare::Text, 2},
        {2, u"ABCabc"_s, u"abc"_s, Compare::Text, 4}, {1, u"xÄÖÜ"_s, u"öü"_s, Compare::Text, 3},
        {1, u"\uFF21\uFF22"_s, u"\uFF42"_s, Compare::Text, 2}, {1, u"abc"_s, u"abcd"_s, Compare::Text, 0},
        // empty what: found at start inside the text, never in an empty text
        {1, u"abc"_s, u""_s, Compare::Binary, 1}, {3, u"abc"_s, u""_s, Compare::Text, 3},
        {4, u"abc"_s, u""_s, Compare::Binary, 0}, {1, u""_s, u""_s, Compare::Binary, 0},
        {1, u""_s, u"a"_s, Compare::Binary, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << ' ' << c.s.toStdString() << " / " << c.what.toStdString());
        EXPECT_EQ(vb::InStr(c.start, c.s, c.what, c.mode), c.out);
    }
}

TEST(Text, InStrRevAndContains) {
    const struct { QString s, what; Compare mode; qsizetype out; } cases[] = {
        {u"abcabc"_s, u"bc"_s, Compare::Binary, 5}, {u"abcabc"_s, u"BC"_s, Compare::Text, 5},
        {u"abcabc"_s, u"BC"_s, Compare::Binary, 0}, {u"aaa"_s, u"aa"_s, Compare::Binary, 2},
        {u"abc"_s, u"abc"_s, Compare::Binary, 1}, {u"abc"_s, u"abcd"_s, Compare::Binary, 0},
        {u"abc"_s, u""_s, Compare::Binary, 3}, {u""_s, u""_s, Compare::Binary, 0}, {u""_s, u"a"_s, Compare::Text, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.s.toStdString() + " / " + c.what.toStdString());
        EXPECT_EQ(vb::InStrRev(c.s, c.what, c.mode), c.out);
    }
    EXPECT_TRUE(vb::Contains(u"abc"_s, u"b"_s));
    EXPECT_FALSE(vb::Contains(u"abc"_s, u"B"_s));
    EXPECT_TRUE(vb::Contains(u"abc"_s, u""_s));
    EXPECT_FALSE(vb::Contains(u""_s, u""_s));
    EXPECT_FALSE(vb::Contains(u""_s, u"a"_s));
}

TEST(Text, TextEquals) {
    EXPECT_TRUE(vb::TextEquals(u"abc", u"ABC", Compare::Text));
    EXPECT_FALSE(vb::TextEquals(u"abc", u"ABC", Compare::Binary));
    EXPECT_TRUE(vb::TextEquals(u"abc", u"abc", Compare::Binary));
    EXPECT_FALSE(vb::TextEquals(u"abc", u"abd", Compare::Text));
    EXPECT_TRUE(vb::TextEquals(u"ÀB", u"àb", Compare::Text));
    EXPECT_FALSE(vb::TextEquals(u"Straße", u"STRASSE", Compare::Text)); // only same-length matches
    EXPECT_FALSE(vb::TextEquals(u"a", u"", Compare::Text));
    EXPECT_TRUE(vb::TextEquals(u"", u"", Compare::Text));
}

TEST(Text, Split) {
    const struct { QString s, sep; QStringList out; } cases[] = {
        {u"a,b,,c"_s, u","_s, {u"a"_s, u"b"_s, u""_s, u"c"_s}}, {u""_s, u","_s, {}}, {u","_s, u","_s, {u""_s, u""_s}},
        {u"abc"_s, u","_s, {u"abc"_s}}, {u"a--b"_s, u"--"_s, {u"a"_s, u"b"_s}}, {u"aXb"_s, u"x"_s, {u"aXb"_s}},
        {u"abc"_s, u""_s, {u"abc"_s}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.s.toStdString() + " / " + c.sep.toStdString());
        EXPECT_EQ(vb::Split(c.s, c.sep), c.out);
    }
}

} // namespace
