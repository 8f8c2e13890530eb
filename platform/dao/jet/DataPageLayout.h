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

#include <array>
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

// A page's slots, held in place rather than on the heap: every update asks
// for them several times.
class SlotSpans {
public:
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    SlotSpan& operator[](std::size_t i) noexcept { return items_[i]; }
    const SlotSpan& operator[](std::size_t i) const noexcept { return items_[i]; }
    const SlotSpan& back() const noexcept { return items_[size_ - 1]; }
    // The caller has checked that the page takes one more.
    void push_back(const SlotSpan& span) noexcept { items_[size_++] = span; }
    const SlotSpan* begin() const noexcept { return items_.data(); }
    const SlotSpan* end() const noexcept { return items_.data() + size_; }

private:
    std::array<SlotSpan, kMostRowsPerPage> items_; // left uninitialised past size_
    std::size_t size_ = 0;
};

// Damaged unless `page` is a data page whose slots lie in order inside it.
SlotSpans slotSpans(const Page& page);
std::vector<Slot> pageSlots(const Page& page);
std::uint16_t freeSpace(const Page& page);
// The same for the page `spans` were taken from, without walking it again.
std::uint16_t freeSpace(const SlotSpans& spans);
std::uint32_t ownerOf(const Page& page);

// `page` (bytes 0-13 kept) with `slots` packed down from its end, the free
// space recomputed and zeroed. Damaged when they do not fit.
void repack(Page& page, const std::vector<Slot>& slots);

// What repack() gives for the page's own slots with slot `index` holding
// `bytes` and `flags` instead, without taking the page apart: the rows after
// it move by the difference. Damaged when they do not fit.
void replaceSlot(Page& page, std::size_t index, std::span<const std::uint8_t> bytes, std::uint16_t flags);
// The same, `spans` being the page's slots as they stand.
void replaceSlot(Page& page, const SlotSpans& spans, std::size_t index, std::span<const std::uint8_t> bytes,
                 std::uint16_t flags);
// What repack() gives for the page's own slots and one more at the end;
// returns the new slot's index. Damaged when it does not fit.
std::size_t appendSlot(Page& page, std::span<const std::uint8_t> bytes, std::uint16_t flags);
// An empty data page of the table whose definition is on `owner`.
Page emptyDataPage(std::uint32_t owner);

} // namespace dao::jet::detail
