#pragma once
// A Jet 4 data page taken apart into its slots and put back together: the
// writer's view of a page, where the reader's DataPage only looks. Slots keep
// their order and flag bits; a slot's bytes are whatever lay between its
// offset and the previous one's (deleted rows and overflow targets included),
// so a page put back holds every other row byte for byte.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/DataPage.h"
#include "platform/dao/jet/PageFile.h"

#include <cstdint>
#include <span>
#include <vector>

namespace dao::jet::detail {

inline constexpr std::size_t kMostRowsPerPage = 255;
inline constexpr std::size_t kMostRowBytes = 4060;

struct Slot {
    std::uint16_t flags = 0; // kRowDeleted, kRowOverflow
    std::vector<std::uint8_t> bytes;
};

struct SlotSpan {
    std::size_t start;
    std::size_t end;
    std::uint16_t flags;
};

// Damaged unless `page` is a data page whose slots lie in order inside it.
std::vector<SlotSpan> slotSpans(const Page& page);
std::vector<Slot> pageSlots(const Page& page);
std::uint16_t freeSpace(const Page& page);
std::uint32_t ownerOf(const Page& page);

// `page` (bytes 0-13 kept) with `slots` packed down from its end, the free
// space recomputed and zeroed. Damaged when they do not fit.
void repack(Page& page, const std::vector<Slot>& slots);

// What repack() gives for the page's own slots with slot `index` holding
// `bytes` and `flags` instead, without taking the page apart: the rows after
// it move by the difference. Damaged when they do not fit.
void replaceSlot(Page& page, std::size_t index, std::span<const std::uint8_t> bytes, std::uint16_t flags);
// What repack() gives for the page's own slots and one more at the end;
// returns the new slot's index. Damaged when it does not fit.
std::size_t appendSlot(Page& page, std::span<const std::uint8_t> bytes, std::uint16_t flags);
// An empty data page of the table whose definition is on `owner`.
Page emptyDataPage(std::uint32_t owner);

} // namespace dao::jet::detail
