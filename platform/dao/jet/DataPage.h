#pragma once
// A data page (type 1) and where each of its rows lies. Rows grow down from
// the end of the page; row i ends where row i-1 starts (row 0 at the end).
// The two top bits of a row's offset say it was deleted, or that it holds
// only a pointer to the row's data on another page (whose own entry there is
// marked deleted, so a scan meets it once).
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/Bytes.h"
#include "platform/dao/jet/Header.h"

#include <cstdint>

namespace dao::jet::detail {

inline constexpr std::uint8_t kDataPageType = 0x01;
// A row offset's top bits.
inline constexpr std::uint16_t kRowDeleted = 0x8000;
inline constexpr std::uint16_t kRowOverflow = 0x4000;
inline constexpr std::uint16_t kRowOffsetMask = 0x1FFF;

class DataPage {
public:
    // Damaged unless `page` is a data page whose offset table fits it.
    DataPage(const Format& format, Bytes page);

    // The table definition page of the table whose rows these are.
    std::uint32_t owner() const { return page_.u32(4); }
    std::uint16_t count() const noexcept { return count_; }
    // Damaged for an index past the count.
    bool deleted(std::uint16_t index) const;
    bool overflow(std::uint16_t index) const; // bytes: row number, then the 3-byte page of the row's data
    // Damaged for a row outside the page.
    Bytes row(std::uint16_t index) const;

private:
    std::uint16_t offset(std::uint16_t index) const;

    Format format_;
    Bytes page_;
    std::uint16_t count_;
};

} // namespace dao::jet::detail
