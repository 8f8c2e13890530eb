#pragma once
// RC4, the stream cipher Jet uses to hide its header page and, in encoded
// databases, every other page. Applying it twice with one key restores the bytes.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include <cstdint>
#include <span>

namespace dao::jet::detail {

void rc4(std::span<const std::uint8_t> key, std::span<std::uint8_t> data) noexcept;

} // namespace dao::jet::detail
