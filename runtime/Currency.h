#pragma once
// The currency value: a signed 64-bit count of ten-thousandths.
#include <cstdint>

namespace vb {

class Currency {
public:
    constexpr Currency() = default;
    static constexpr Currency fromRaw(std::int64_t tenThousandths) { Currency c; c.raw_ = tenThousandths; return c; }
    static constexpr Currency fromWhole(std::int64_t whole) { return fromRaw(whole * 10000); } // caller keeps it in range
    // Rounds to four places (half to even); error 6 outside the currency range or for NaN.
    static Currency fromDouble(double value);

    constexpr std::int64_t raw() const { return raw_; }
    double toDouble() const { return static_cast<double>(raw_) / 10000.0; }

    friend constexpr bool operator==(Currency, Currency) = default;

private:
    std::int64_t raw_ = 0;
};

// Rounds a currency value to a 32-bit integer, half to even; error 6 outside the range.
std::int32_t CLng(Currency value);

} // namespace vb
