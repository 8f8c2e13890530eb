#pragma once
// Number conversions with the language's rules: banker's rounding to 32 bits,
// whole-number division toward zero, and Val-style reading of a text.
#include <QStringView>
#include <cstdint>

namespace vb {

// Nearest whole number as a double, an exact half to the even neighbour;
// independent of the floating-point rounding mode. NaN and infinities pass through.
double roundHalfEven(double value) noexcept;

// Rounds to the nearest integer, an exact half to the even neighbour.
// Raises error 6 (overflow) outside -2147483648..2147483647 and for NaN.
std::int32_t CLng(double value);

// Whole-number division truncating toward zero; error 11 for a zero divisor,
// error 6 for INT32_MIN \ -1.
std::int32_t IntDiv(std::int32_t a, std::int32_t b);
// Remainder of IntDiv: it has the sign of the dividend; error 11 for zero.
std::int32_t Mod(std::int32_t a, std::int32_t b);

// Reads the leading number of a text: blanks (space, tab, line feed) are
// skipped wherever they stand; an optional sign, digits with at most one ".",
// then an optional exponent (E or D, optional sign, digits); reading stops at
// the first character that cannot continue the number. "&H" and "&O"
// introduce hexadecimal and octal integers. No number gives 0.
double Val(QStringView text);

} // namespace vb
