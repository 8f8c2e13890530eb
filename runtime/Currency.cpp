#include "runtime/Currency.h"

#include "runtime/Conversion.h"
#include "runtime/RuntimeError.h"

#include <limits>

namespace vb {

Currency Currency::fromDouble(double value) {
    // One multiplication, then banker's rounding of the product. Rounding the
    // product to a double first absorbs the binary noise of decimal inputs,
    // so 0.00015 becomes the half 1.5 and rounds to even (0.0002).
    const double scaled = roundHalfEven(value * 10000.0);
    // 2^63 is exact as a double; the largest double below it is 2^63 - 1024,
    // so this bound admits only values that fit. NaN fails both comparisons.
    constexpr double kTwo63 = 9223372036854775808.0;
    if (!(scaled >= -kTwo63 && scaled < kTwo63))
        raise(kOverflow);
    return fromRaw(static_cast<std::int64_t>(scaled));
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
