#include "pathutil/cShlwVB.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <cmath>

using testsupport::outcome;

namespace {

const cShlwVB shlw;

vb::Currency bytes(double value) {
    return vb::Currency::fromRaw(std::llround(value * 10000.0));
}

// Sizes render with the user's separators; these tests pin them.
class KBSize : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan)); }
    void TearDown() override { QLocale::setDefault(saved_); }

private:
    QLocale saved_;
};

TEST_F(KBSize, KilobytesBelowAMegabyteMegabytesFromThere) {
    const struct { double size; const char* expected; } rows[] = {
        {0, " KB"}, {1023, " KB"}, {1024, "1 KB"}, {1535, "1 KB"}, {2047.5, "2 KB"},
        {1048575, "1,023 KB"}, {1048575.5, "1. MB"}, {1048576, "1. MB"}, {1179648, "1.13 MB"},
        {1572864, "1.5 MB"}, {1073741824, "1,024. MB"}, {-1024, "-1 KB"}, {-1023, " KB"},
        {2147483647, "2,048. MB"}, {2147483648.0, "<error 6>"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(outcome([&] { return shlw.VBFormatKBSize(bytes(r.size)); }), QString(r.expected))
            << std::fixed << r.size;
}

TEST_F(KBSize, SeparatorsComeFromTheLocale) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(shlw.VBFormatKBSize(bytes(1048575)), QStringLiteral("1.023 KB"));
    EXPECT_EQ(shlw.VBFormatKBSize(bytes(1179648)), QStringLiteral("1,13 MB"));
}

TEST_F(KBSize, UnitFollowsTheRoundedSize) {
    // Every quarter and half byte around the megabyte and a few kilobyte
    // steps, against an independent half-to-even rounding of the raw value.
    for (std::int64_t whole : {1023, 1024, 2047, 2048, 1048574, 1048575, 1048576, 1048577})
        for (std::int64_t fraction : {0, 2500, 4999, 5000, 5001, 7500}) {
            const std::int64_t raw = whole * 10000 + fraction;
            const bool up = fraction > 5000 || (fraction == 5000 && whole % 2 == 1);
            const std::int64_t rounded = whole + (up ? 1 : 0);
            const QString text = shlw.VBFormatKBSize(vb::Currency::fromRaw(raw));
            if (rounded >= 1048576) {
                EXPECT_TRUE(text.endsWith(QStringLiteral(" MB"))) << raw << " gave " << text.toStdString();
            } else {
                const std::int64_t kb = rounded / 1024;
                EXPECT_EQ(text, (kb == 0 ? QString() : QLocale().toString(kb)) + QStringLiteral(" KB")) << raw;
            }
        }
}

TEST(TimeInterval, SecondsMinutesHours) {
    const struct { std::int32_t ms; const char* expected; } rows[] = {
        {0, "0秒"}, {500, "0秒"}, {1500, "2秒"}, {2500, "2秒"}, {59500, "60秒"}, {60000, "60秒"},
        {60001, "1分"}, {60500, "1分"}, {61000, "1分1秒"}, {61500, "1分2秒"}, {90500, "1分30秒"},
        {3600000, "60分"}, {3659000, "60分59秒"}, {3660000, "1時間1分"}, {7200000, "2時間"},
        {7259000, "2時間"}, {-1500, "-2秒"}, {2147483647, "596時間31分"}, {-2147483647 - 1, "-2147484秒"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(shlw.VBFromTimeInterval(r.ms), QString(r.expected)) << r.ms;
}

} // namespace
