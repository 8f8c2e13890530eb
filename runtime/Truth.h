#pragma once
// Truth values are 16-bit: true is -1 (all bits set), false is 0, and any
// non-zero value counts as true when read.
#include <cstdint>

namespace vb {

using Boolean = std::int16_t;
inline constexpr Boolean vbTrue = -1;
inline constexpr Boolean vbFalse = 0;

constexpr Boolean toBoolean(bool b) noexcept { return b ? vbTrue : vbFalse; }
constexpr bool isTrue(Boolean b) noexcept { return b != 0; }

} // namespace vb
