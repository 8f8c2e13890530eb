#include "platform/dao/jet/Rc4.h"

#include <array>
#include <numeric>
#include <utility>

namespace dao::jet::detail {

void rc4(std::span<const std::uint8_t> key, std::span<std::uint8_t> data) noexcept {
    std::array<std::uint8_t, 256> s{};
    std::iota(s.begin(), s.end(), std::uint8_t{0});
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i % key.size()]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    for (std::uint8_t& byte : data) {
        ++a;
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        byte ^= s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
}

} // namespace dao::jet::detail
