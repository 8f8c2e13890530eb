#include "runtime/Currency.h"

#include "runtime/RuntimeError.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace vb {

Currency Currency::fromDouble(double value) {
    if (!std::isfinite(value))
        raise(kOverflow);

    // Round the shortest decimal that reads back as this double, not its exact
    // binary value: 0.00015 is stored a hair below the half yet was meant as
    // a half, so it rounds to even (0.0002) as written. Every currency amount
    // up to about 2.7e11 survives a trip through double unchanged this way.
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
    const std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf)); // "d.ddde[+-]xx"
    const std::size_t ePos = sci.find('e');
    const char* expBegin = sci.data() + ePos + 1;
    if (*expBegin == '+')
        ++expBegin; // from_chars takes no plus sign
    int exponent = 0;
    std::from_chars(expBegin, sci.data() + sci.size(), exponent);

    // The digits without the point; digit k stands for 10^(exponent - k).
    char digits[24];
    std::size_t count = 0;
    for (std::size_t k = 0; k < ePos; ++k) {
        if (sci[k] != '.')
            digits[count++] = sci[k];
    }

    // Accumulate the whole ten-thousandths, then round on the dropped digits.
    constexpr std::uint64_t kLimit = std::uint64_t{1} << 63; // magnitude of the most negative amount
    const long long wholePlaces = static_cast<long long>(exponent) + 5; // digits at or above 10^-4
    std::uint64_t magnitude = 0;
    for (long long k = 0; k < wholePlaces; ++k) {
        const unsigned d = k < static_cast<long long>(count) ? static_cast<unsigned>(digits[k] - '0') : 0u;
        if (magnitude > (kLimit - d) / 10)
            raise(kOverflow);
        magnitude = magnitude * 10 + d;
    }
    // With wholePlaces < 0 the value is under 0.00001 and rounds to zero.
    if (wholePlaces >= 0 && wholePlaces < static_cast<long long>(count)) {
        const auto first = static_cast<std::size_t>(wholePlaces);
        bool beyondHalf = false;
        for (std::size_t k = first + 1; k < count; ++k)
            beyondHalf = beyondHalf || digits[k] != '0';
        const char dropped = digits[first];
        if (dropped > '5' || (dropped == '5' && (beyondHalf || magnitude % 2 != 0)))
            ++magnitude;
    }

    if (value < 0) {
        if (magnitude > kLimit)
            raise(kOverflow);
        return fromRaw(static_cast<std::int64_t>(0 - magnitude)); // wraps to INT64_MIN exactly at the limit
    }
    if (magnitude >= kLimit)
        raise(kOverflow);
    return fromRaw(static_cast<std::int64_t>(magnitude));
}

std::int32_t CLng(Currency value) {
    // Exact fixed-point rounding: going through double would misjudge halves
    // of large amounts.
    std::int64_t whole = value.raw() / 10000;
    const std::int64_t rest = value.raw() % 10000; // has the sign of the value
    const bool odd = whole % 2 != 0;
    if (rest > 5000 || (rest == 5000 && odd))
        ++whole;
    else if (rest < -5000 || (rest == -5000 && odd))
        --whole;
    if (whole < std::numeric_limits<std::int32_t>::min() || whole > std::numeric_limits<std::int32_t>::max())
        raise(kOverflow);
    return static_cast<std::int32_t>(whole);
}

} // namespace vb
