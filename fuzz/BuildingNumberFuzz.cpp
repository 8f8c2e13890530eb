// The building-number conversion: whatever the stored value, the result is
// the 32-bit number nearest to the value's leading number (a half to the even
// neighbour), or error 6 exactly when that number lies outside 32 bits.
#include "FuzzText.h"

#include "revision/BuildingNumber.h"
#include "runtime/Conversion.h"
#include "runtime/RuntimeError.h"

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

namespace {

vb::Variant storedValue(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0:
        return vb::Variant();
    case 1:
        return vb::Variant(in.ConsumeIntegral<std::int64_t>());
    case 2:
        // Near the edges of 32 bits, where rounding decides overflow.
        return vb::Variant(in.PickValueInArray({2147483647.0, -2147483648.0, 2147483647.5, -2147483648.5}) +
                           in.ConsumeFloatingPointInRange(-2.0, 2.0));
    case 3: {
        double d;
        const auto bytes = in.ConsumeBytes<std::uint8_t>(sizeof d);
        std::uint64_t bits = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bits |= std::uint64_t{bytes[i]} << (8 * i);
        std::memcpy(&d, &bits, sizeof d);
        return vb::Variant(d);
    }
    default:
        return vb::Variant(fuzz::text(in, u" 0123456789+-.eEdD&HhOo,FfAa", 64));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const vb::Variant value = storedValue(in);
    const QString text = value.toText();

    // The expectation: the leading number, rounded by the C library in its
    // default mode (to nearest, ties to even).
    std::optional<double> leading;
    try {
        leading = vb::Val(text);
    } catch (const vb::RuntimeError& e) {
        FUZZ_REQUIRE(e.number() == vb::kOverflow, text);
    }
    FUZZ_REQUIRE(std::fegetround() == FE_TONEAREST, text);
    const std::optional<double> rounded = leading ? std::optional(std::nearbyint(*leading)) : std::nullopt;
    const bool fits = rounded && *rounded >= -2147483648.0 && *rounded <= 2147483647.0;

    try {
        const std::int32_t n = BuildingNumber(value);
        FUZZ_REQUIRE(fits, text);
        FUZZ_REQUIRE(n == static_cast<std::int32_t>(*rounded), text);
    } catch (const vb::RuntimeError& e) {
        FUZZ_REQUIRE(e.number() == vb::kOverflow, text);
        FUZZ_REQUIRE(!fits, text);
    }
    return 0;
}
