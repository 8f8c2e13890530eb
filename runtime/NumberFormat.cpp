#include "runtime/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace vb {

namespace {

// ASCII digits without leading zeros, grouped in threes from the right.
// Digits stay ASCII whatever the locale; only the separators are regional.
QString groupDigits(std::string_view digits, const QString& separator) {
    QString out;
    const auto length = static_cast<qsizetype>(digits.size());
    out.reserve(length + length / 3 * separator.size());
    const std::size_t n = digits.size();
    for (std::size_t k = 0; k < n; ++k) {
        if (k > 0 && (n - k) % 3 == 0)
            out += separator;
        out += QLatin1Char(digits[k]);
    }
    return out;
}

std::string magnitudeDigits(std::int64_t value) {
    // Unsigned negation keeps INT64_MIN well defined.
    const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    return std::to_string(magnitude);
}

void stripLeadingZeros(std::string& s) {
    const std::size_t first = s.find_first_not_of('0');
    s.erase(0, first == std::string::npos ? s.size() : first);
}

} // namespace

QString formatGrouped(std::int64_t value, const QLocale& locale) {
    if (value == 0)
        return QString(); // "###" shows no digit for zero
    QString out = value < 0 ? QStringLiteral("-") : QString();
    // Always the locale's group separator, even when its number options omit grouping:
    // the pattern asks for grouping explicitly.
    out += groupDigits(magnitudeDigits(value), locale.groupSeparator());
    return out;
}

QString formatGroupedTwoPlaces(double value, const QLocale& locale) {
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");

    // Round in decimal, starting from the value's 15 significant digits (the
    // precision numbers are shown with everywhere else). A value that reads as
    // an exact half at that precision rounds away from zero even when its
    // binary form lies a hair below: 1.005 gives "1.01", 1.125 gives "1.13".
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    // buf holds "d.dddddddddddddde[+-]xx"
    const std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
    const std::size_t ePos = sci.find('e');
    std::string significant;
    significant += sci[0];
    significant += sci.substr(2, ePos - 2);
    int exponent = 0;
    const char* expBegin = sci.data() + ePos + 1;
    if (*expBegin == '+')
        ++expBegin;
    std::from_chars(expBegin, sci.data() + sci.size(), exponent);

    // value = d.ddd... x 10^exponent: the first digit stands at position
    // exponent (0 = ones, 1 = tens, -1 = tenths, ...).
    const long long pointPos = exponent + 1; // digits before the decimal point
    auto digitAt = [&](long long index) {
        return index >= 0 && index < static_cast<long long>(significant.size()) ? significant[static_cast<std::size_t>(index)] : '0';
    };
    std::string number; // integer digits followed by exactly two fraction digits
    for (long long i = 0; i < pointPos + 2; ++i)
        number += digitAt(i);
    if (number.size() < 2)
        number.insert(0, 2 - number.size(), '0');
    if (digitAt(pointPos + 2) >= '5') { // a half or more of the last kept place: away from zero
        auto it = number.rbegin();
        for (; it != number.rend() && *it == '9'; ++it)
            *it = '0';
        if (it == number.rend())
            number.insert(number.begin(), '1');
        else
            ++*it;
    }

    std::string integerPart = number.substr(0, number.size() - 2);
    std::string fraction = number.substr(number.size() - 2);
    stripLeadingZeros(integerPart); // "###" shows no digit for a zero integer part
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();

    // No sign on a value that rounds to nothing: "-." would read as a stray dash.
    QString out = value < 0 && (!integerPart.empty() || !fraction.empty()) ? QStringLiteral("-") : QString();
    out += groupDigits(integerPart, locale.groupSeparator());
    out += locale.decimalPoint();
    out += QLatin1String(fraction.data(), static_cast<qsizetype>(fraction.size()));
    return out;
}

QString formatAtLeastOneDigit(std::int64_t value) {
    return QString::number(value);
}

} // namespace vb
