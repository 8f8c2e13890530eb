#pragma once
// The three number patterns the program renders with, using the separators of
// the given locale (the user's regional settings by default).
#include <QLocale>
#include <QString>
#include <cstdint>

namespace vb {

// "###,###": grouped whole number, zero renders as the empty text.
QString formatGrouped(std::int64_t value, const QLocale& locale = QLocale());
// "###,###.##": rounded to two places (a half away from zero), grouped integer
// part, the decimal separator always, then the fraction without trailing zeros.
QString formatGroupedTwoPlaces(double value, const QLocale& locale = QLocale());
// "#0": at least one digit, no grouping.
QString formatAtLeastOneDigit(std::int64_t value);

} // namespace vb
