// The number patterns read back: the grouped forms give the same digits as
// the plain number once the separators are taken out, groups are of three,
// and the two-place form is the value rounded to two places.
#include "FuzzText.h"

#include "runtime/NumberFormat.h"

#include <QLocale>

#include <cmath>
#include <cstdint>
#include <string>

namespace {

const QLocale& pickLocale(FuzzedDataProvider& in) {
    static const QLocale locales[] = {
        QLocale::c(),
        QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::Japanese, QLocale::Japan),
        QLocale(QLocale::German, QLocale::Germany),
        QLocale(QLocale::French, QLocale::France),  // a narrow no-break space between groups
        QLocale(QLocale::Hindi, QLocale::India),    // groups of two elsewhere; the pattern still says three
        QLocale(QLocale::Arabic, QLocale::Egypt),
    };
    return locales[in.ConsumeIntegralInRange<std::size_t>(0, std::size(locales) - 1)];
}

// Splits "[-]d,ddd,ddd" at the separators; false when the groups are not of three.
bool ungroup(QString text, const QString& separator, QString& digits) {
    if (text.startsWith(u'-'))
        text.remove(0, 1);
    if (text.isEmpty()) {
        digits.clear();
        return true;
    }
    const QStringList groups = text.split(separator);
    for (qsizetype i = 0; i < groups.size(); ++i) {
        const QString& g = groups[i];
        if (g.isEmpty() || g.size() > 3 || (i > 0 && g.size() != 3))
            return false;
        for (QChar c : g)
            if (c < u'0' || c > u'9')
                return false;
    }
    digits = groups.join(QString());
    return true;
}

void checkWhole(std::int64_t value, const QLocale& locale) {
    const QString plain = QString::number(value);
    FUZZ_REQUIRE(vb::formatAtLeastOneDigit(value) == plain, plain);
    const QString grouped = vb::formatGrouped(value, locale);
    if (value == 0) {
        FUZZ_REQUIRE(grouped.isEmpty(), plain);
        return;
    }
    QString digits;
    FUZZ_REQUIRE(ungroup(grouped, locale.groupSeparator(), digits), grouped);
    FUZZ_REQUIRE((value < 0 ? QStringLiteral("-") : QString()) + digits == plain, grouped);
}

void checkTwoPlaces(double value, const QLocale& locale) {
    const QString text = vb::formatGroupedTwoPlaces(value, locale);
    if (!std::isfinite(value)) {
        FUZZ_REQUIRE(!text.isEmpty(), text);
        return;
    }
    const QString point = locale.decimalPoint();
    const qsizetype at = text.lastIndexOf(point);
    FUZZ_REQUIRE(at >= 0, text);
    const QString fraction = text.mid(at + point.size());
    FUZZ_REQUIRE(fraction.size() <= 2 && !fraction.endsWith(u'0'), text);
    for (QChar c : fraction)
        FUZZ_REQUIRE(c >= u'0' && c <= u'9', text);
    QString integer;
    FUZZ_REQUIRE(ungroup(text.left(at), locale.groupSeparator(), integer), text);
    FUZZ_REQUIRE(!integer.startsWith(u'0'), text);
    const bool negative = text.startsWith(u'-');
    FUZZ_REQUIRE(!negative || value < 0, text);
    FUZZ_REQUIRE(negative || !(integer.isEmpty() && fraction.isEmpty()) || std::fabs(value) < 0.005 + 1e-12, text);

    // Read back: within half a cent, give or take the 15 significant digits it starts from.
    const long double back = std::strtold(((negative ? "-" : "") + (integer.isEmpty() ? QStringLiteral("0") : integer) +
                                           "." + fraction + "0").toLatin1().constData(),
                                          nullptr);
    const long double error = std::fabs(back - static_cast<long double>(value));
    const long double slack = 0.005L + std::fabs(static_cast<long double>(value)) * 1e-14L;
    FUZZ_REQUIRE(error <= slack, text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const QLocale& locale = pickLocale(in);
    checkWhole(in.ConsumeIntegral<std::int64_t>(), locale);
    checkWhole(in.ConsumeIntegralInRange<std::int64_t>(-1000000, 1000000), locale);
    // Cents and half cents are where rounding goes wrong.
    checkTwoPlaces(static_cast<double>(in.ConsumeIntegralInRange<std::int64_t>(-100000000, 100000000)) / 1000.0,
                   locale);
    checkTwoPlaces(in.ConsumeFloatingPoint<double>(), locale);
    return 0;
}
