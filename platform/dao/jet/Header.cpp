#include "platform/dao/jet/Header.h"

#include "platform/dao/jet/Rc4.h"

#include <array>
#include <cmath>
#include <limits>

namespace dao::jet::detail {

namespace {

constexpr std::array<std::uint8_t, 19> kMagic{0x00, 0x01, 0x00, 0x00, 'S', 't', 'a', 'n', 'd', 'a',
                                               'r',  'd',  ' ',  'J',  'e', 't', ' ', 'D', 'B'};
constexpr std::size_t kVersionAt = 0x14;
// From here on the header is hidden under RC4 with a key that every file shares.
constexpr std::size_t kHiddenAt = 0x18;
constexpr std::array<std::uint8_t, 4> kHeaderKey{0xC7, 0xDA, 0x39, 0x6B};
constexpr std::size_t kCodePageAt = 0x3C;
constexpr std::size_t kPageKeyAt = 0x3E;
constexpr std::size_t kPasswordAt = 0x42;
static_assert(kJet3.passwordCharSize <= 2 && kJet4.passwordCharSize <= 2, "a character is read into two bytes");

} // namespace

Header readHeader(Bytes first) {
    if (first.size() <= kVersionAt)
        throw NotJet{};
    for (std::size_t i = 0; i < kMagic.size(); ++i)
        if (first.u8(i) != kMagic[i])
            throw NotJet{};
    const std::uint8_t version = first.u8(kVersionAt);
    if (version > 1)
        throw NotJet{}; // 2 and up are the later format with its own engine
    const Format format = version == 0 ? kJet3 : kJet4;
    if (first.size() < format.pageSize)
        damaged("the file ends inside its first page");

    std::vector<std::uint8_t> page(first.data(), first.data() + kHiddenAt + format.headerHiddenSize);
    rc4(kHeaderKey, std::span(page).subspan(kHiddenAt));
    const Bytes header(page);

    Header h{format, header.u32(kPageKeyAt), header.u16(kCodePageAt), {}};
    std::array<std::uint8_t, 4> mask{};
    if (format.passwordMaskAt) {
        const double created = std::floor(header.f64(*format.passwordMaskAt));
        if (!(created >= std::numeric_limits<std::int32_t>::min() && created <= std::numeric_limits<std::int32_t>::max()))
            damaged("the creation date is no date");
        const auto days = static_cast<std::uint32_t>(static_cast<std::int32_t>(created));
        mask = {static_cast<std::uint8_t>(days), static_cast<std::uint8_t>(days >> 8),
                static_cast<std::uint8_t>(days >> 16), static_cast<std::uint8_t>(days >> 24)};
    }
    // Up to the first NUL character.
    const std::size_t unit = format.passwordCharSize;
    for (std::size_t i = 0; i + unit <= format.passwordSize; i += unit) {
        std::array<std::uint8_t, 2> c{};
        for (std::size_t k = 0; k < unit; ++k)
            c[k] = static_cast<std::uint8_t>(header.u8(kPasswordAt + i + k) ^ mask[(i + k) % 4]);
        if (c[0] == 0 && c[1] == 0)
            break;
        h.password.insert(h.password.end(), c.begin(), c.begin() + static_cast<std::ptrdiff_t>(unit));
    }
    return h;
}

std::uint32_t pageCount(std::int64_t size, const Format& format) {
    const auto pageSize = static_cast<std::int64_t>(format.pageSize);
    if (size % pageSize != 0 || size / pageSize <= kCatalogPage || size / pageSize > 0xFFFFFF)
        damaged("the file is not a whole number of pages");
    return static_cast<std::uint32_t>(size / pageSize);
}

} // namespace dao::jet::detail
