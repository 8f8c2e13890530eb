#include "runtime/Conversion.h"

#include "runtime/RuntimeError.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace vb {

double roundHalfEven(double value) noexcept {
    if (!std::isfinite(value))
        return value;
    // Work on the magnitude: for a non-negative value, value - floor(value) is
    // exact, so the half test below never sees a rounded difference.
    if (value < 0.0)
        return -roundHalfEven(-value);
    const double down = std::floor(value);
    const double rest = value - down;
    if (rest < 0.5)
        return down;
    if (rest > 0.5)
        return down + 1.0;
    return std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
}

std::int32_t CLng(double value) {
    const double r = roundHalfEven(value);
    // Written so that NaN fails the test too.
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        raise(kOverflow);
    return static_cast<std::int32_t>(r);
}

std::int32_t IntDiv(std::int32_t a, std::int32_t b) {
    if (b == 0)
        raise(kDivisionByZero);
    if (a == std::numeric_limits<std::int32_t>::min() && b == -1)
        raise(kOverflow);
    return a / b; // C++ division already truncates toward zero
}

std::int32_t Mod(std::int32_t a, std::int32_t b) {
    if (b == 0)
        raise(kDivisionByZero);
    if (b == -1)
        return 0; // avoids INT32_MIN % -1, which the hardware traps on
    return a % b; // the remainder takes the dividend's sign
}

namespace {

// Reads a text character by character, skipping blanks wherever they stand.
class Reader {
public:
    explicit Reader(QStringView text) : text_(text) {}

    // The next non-blank code unit, or 0 at the end.
    char16_t peek() {
        while (pos_ < text_.size() && isBlank(text_[pos_].unicode()))
            ++pos_;
        return pos_ < text_.size() ? text_[pos_].unicode() : u'\0';
    }
    void advance() { ++pos_; }

private:
    static bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

    QStringView text_;
    qsizetype pos_ = 0;
};

// Only ASCII digits count: full-width and other Unicode digits end the number.
int digitValue(char16_t c, int radix) {
    int d = -1;
    if (c >= u'0' && c <= u'9')
        d = c - u'0';
    else if (c >= u'a' && c <= u'f')
        d = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        d = c - u'A' + 10;
    return d >= 0 && d < radix ? d : -1;
}

// "&H..." / "&O..." after the "&" and the letter: up to 16 bits the value is
// a signed 16-bit number, up to 32 bits a signed 32-bit one; wider overflows.
// The width follows the value, so leading zeros do not widen it.
double readRadixInteger(Reader& in, int radix) {
    constexpr std::uint64_t k32 = 0xFFFFFFFFu;
    std::uint64_t value = 0;
    for (int d; (d = digitValue(in.peek(), radix)) >= 0; in.advance()) {
        value = value * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
        if (value > k32)
            raise(kOverflow);
    }
    if (value <= 0xFFFFu)
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

double readDecimal(Reader& in) {
    bool negative = false;
    if (const char16_t c = in.peek(); c == u'+' || c == u'-') {
        negative = c == u'-';
        in.advance();
    }

    std::string digits; // the mantissa's digits, without the point
    std::int64_t integerDigits = 0;
    bool seenPoint = false;
    for (;;) {
        const char16_t c = in.peek();
        if (c >= u'0' && c <= u'9') {
            digits.push_back(static_cast<char>(c));
            if (!seenPoint)
                ++integerDigits;
        } else if (c == u'.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
        in.advance();
    }
    if (digits.empty())
        return 0.0;

    // An exponent letter only counts when digits follow it ("1e" and "1e+" read 1).
    std::int64_t exponent = 0;
    if (const char16_t c = in.peek(); c == u'e' || c == u'E' || c == u'd' || c == u'D') {
        in.advance();
        bool negativeExponent = false;
        if (const char16_t s = in.peek(); s == u'+' || s == u'-') {
            negativeExponent = s == u'-';
            in.advance();
        }
        // Saturates far beyond any double's range, so absurd exponents cannot overflow.
        constexpr std::int64_t kCap = 1'000'000'000;
        for (char16_t d; (d = in.peek()) >= u'0' && d <= u'9'; in.advance())
            exponent = std::min<std::int64_t>(exponent * 10 + (d - u'0'), kCap);
        if (negativeExponent)
            exponent = -exponent;
    }

    const auto firstSignificant = digits.find_first_not_of('0');
    if (firstSignificant == std::string::npos)
        return 0.0; // also keeps "-0" from giving a negative zero
    // value = 0.<significant digits> x 10^scale
    const std::int64_t scale = integerDigits - static_cast<std::int64_t>(firstSignificant) + exponent;
    constexpr double kInf = std::numeric_limits<double>::infinity();
    double magnitude;
    if (scale > 310) {
        magnitude = kInf; // beyond the largest double; CLng and friends raise overflow on it
    } else if (scale < -330) {
        magnitude = 0.0; // below the smallest subnormal
    } else {
        // std::from_chars ignores the C locale, unlike strtod.
        const std::string normal = "0." + digits.substr(firstSignificant) + 'e' + std::to_string(scale);
        const auto result = std::from_chars(normal.data(), normal.data() + normal.size(), magnitude);
        if (result.ec == std::errc::result_out_of_range)
            magnitude = scale > 0 ? kInf : 0.0;
    }
    return negative ? -magnitude : magnitude;
}

} // namespace

double Val(QStringView text) {
    Reader in(text);
    if (in.peek() != u'&')
        return readDecimal(in);
    in.advance();
    switch (in.peek()) {
    case u'H':
    case u'h':
        in.advance();
        return readRadixInteger(in, 16);
    case u'O':
    case u'o':
        in.advance();
        return readRadixInteger(in, 8);
    default:
        return 0.0;
    }
}

} // namespace vb
