#include "platform/dao/jet/DataPageLayout.h"

#include "platform/dao/jet/Bytes.h"

#include <algorithm>
#include <cstring>

namespace dao::jet::detail {

namespace {

constexpr std::size_t kPageSize = kJet4.pageSize;
constexpr std::size_t kFreeAt = 2;
constexpr std::size_t kOwnerAt = 4;
constexpr std::size_t kCountAt = kJet4.dataRowCount;
constexpr std::size_t kOffsetsAt = kCountAt + 2;

void put16(Page& page, std::size_t at, std::uint16_t value) {
    page[at] = static_cast<std::uint8_t>(value);
    page[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

} // namespace

namespace {

// Calls `take(start, end, flags)` for each slot in order, after `count(n)`
// with their number; damaged as slotSpans() says.
template <class Count, class Take>
void eachSlot(const Page& page, Count count, Take take) {
    const Bytes bytes(page);
    if (page.size() != kPageSize || bytes.u8(0) != kDataPageType)
        damaged("a data page expected");
    const std::size_t rows = bytes.u16(kCountAt);
    const std::size_t tableEnd = kOffsetsAt + 2 * rows;
    if (rows > kMostRowsPerPage || tableEnd > kPageSize)
        damaged("more rows than a page holds");
    count(rows);
    std::size_t end = kPageSize;
    for (std::size_t i = 0; i < rows; ++i) {
        const std::uint16_t offset = bytes.u16(kOffsetsAt + 2 * i);
        const std::size_t start = offset & kRowOffsetMask;
        if (start < tableEnd || start > end)
            damaged("a row outside its page");
        take(start, end, static_cast<std::uint16_t>(offset & ~kRowOffsetMask));
        end = start;
    }
}

} // namespace

SlotSpans slotSpans(const Page& page) {
    SlotSpans spans;
    eachSlot(
        page, [](std::size_t) {},
        [&](std::size_t start, std::size_t end, std::uint16_t flags) { spans.push_back({start, end, flags}); });
    return spans;
}

std::vector<Slot> pageSlots(const Page& page) {
    std::vector<Slot> result;
    for (const SlotSpan& s : slotSpans(page))
        result.push_back({s.flags, std::vector<std::uint8_t>(page.begin() + static_cast<std::ptrdiff_t>(s.start),
                                                             page.begin() + static_cast<std::ptrdiff_t>(s.end))});
    return result;
}

std::uint16_t freeSpace(const Page& page) {
    // Walked, not listed: asked for on every update.
    std::size_t lowest = kPageSize;
    std::size_t count = 0;
    eachSlot(
        page, [&](std::size_t rows) { count = rows; },
        [&](std::size_t start, std::size_t, std::uint16_t) { lowest = start; });
    return static_cast<std::uint16_t>(lowest - (kOffsetsAt + 2 * count));
}

std::uint16_t freeSpace(const SlotSpans& spans) {
    const std::size_t lowest = spans.empty() ? kPageSize : spans.back().start;
    return static_cast<std::uint16_t>(lowest - (kOffsetsAt + 2 * spans.size()));
}

std::uint32_t ownerOf(const Page& page) {
    return Bytes(page).u32(kOwnerAt);
}

void repack(Page& page, const std::vector<Slot>& rows) {
    if (page.size() != kPageSize || rows.size() > kMostRowsPerPage)
        damaged("more rows than a page holds");
    std::size_t total = kOffsetsAt + 2 * rows.size();
    for (const Slot& s : rows)
        total += s.bytes.size();
    if (total > kPageSize)
        damaged("rows that do not fit their page");
    std::size_t end = kPageSize;
    const std::size_t tableEnd = kOffsetsAt + 2 * rows.size();
    std::fill(page.begin() + static_cast<std::ptrdiff_t>(kOffsetsAt), page.end(), std::uint8_t{0});
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::size_t start = end - rows[i].bytes.size();
        std::copy(rows[i].bytes.begin(), rows[i].bytes.end(), page.begin() + static_cast<std::ptrdiff_t>(start));
        put16(page, kOffsetsAt + 2 * i, static_cast<std::uint16_t>(start | rows[i].flags));
        end = start;
    }
    put16(page, kCountAt, static_cast<std::uint16_t>(rows.size()));
    put16(page, kFreeAt, static_cast<std::uint16_t>(end - tableEnd));
}

namespace {

// `count` slots in the table, the free space between the table and the
// lowest row zeroed, as repack() leaves a page.
void finishLayout(Page& page, std::size_t count, std::size_t lowest) {
    const std::size_t tableEnd = kOffsetsAt + 2 * count;
    std::fill(page.begin() + static_cast<std::ptrdiff_t>(tableEnd), page.begin() + static_cast<std::ptrdiff_t>(lowest),
              std::uint8_t{0});
    put16(page, kCountAt, static_cast<std::uint16_t>(count));
    put16(page, kFreeAt, static_cast<std::uint16_t>(lowest - tableEnd));
}

std::size_t rowBytes(const SlotSpans& spans) {
    return spans.empty() ? 0 : kPageSize - spans.back().start;
}

} // namespace

void replaceSlot(Page& page, std::size_t index, std::span<const std::uint8_t> bytes, std::uint16_t flags) {
    replaceSlot(page, slotSpans(page), index, bytes, flags);
}

void replaceSlot(Page& page, const SlotSpans& spans, std::size_t index, std::span<const std::uint8_t> bytes,
                 std::uint16_t flags) {
    if (index >= spans.size())
        damaged("a row number past the page's rows");
    const SlotSpan old = spans[index];
    const std::size_t oldLength = old.end - old.start;
    if (kOffsetsAt + 2 * spans.size() + rowBytes(spans) - oldLength + bytes.size() > kPageSize)
        damaged("rows that do not fit their page");
    const std::size_t lowest = spans.back().start;
    const std::ptrdiff_t shift = static_cast<std::ptrdiff_t>(oldLength) - static_cast<std::ptrdiff_t>(bytes.size());
    // The rows after this one, packed below it, move as one block.
    const std::size_t below = old.start - lowest;
    const std::size_t newStart = old.end - bytes.size();
    std::memmove(page.data() + newStart - below, page.data() + lowest, below);
    std::copy(bytes.begin(), bytes.end(), page.begin() + static_cast<std::ptrdiff_t>(newStart));
    put16(page, kOffsetsAt + 2 * index, static_cast<std::uint16_t>(newStart | flags));
    for (std::size_t j = index + 1; j < spans.size(); ++j)
        put16(page, kOffsetsAt + 2 * j,
              static_cast<std::uint16_t>(static_cast<std::size_t>(static_cast<std::ptrdiff_t>(spans[j].start) + shift) |
                                         spans[j].flags));
    finishLayout(page, spans.size(), newStart - below);
}

std::size_t appendSlot(Page& page, std::span<const std::uint8_t> bytes, std::uint16_t flags) {
    const SlotSpans spans = slotSpans(page);
    if (spans.size() + 1 > kMostRowsPerPage ||
        kOffsetsAt + 2 * (spans.size() + 1) + rowBytes(spans) + bytes.size() > kPageSize)
        damaged("rows that do not fit their page");
    const std::size_t lowest = spans.empty() ? kPageSize : spans.back().start;
    const std::size_t start = lowest - bytes.size();
    std::copy(bytes.begin(), bytes.end(), page.begin() + static_cast<std::ptrdiff_t>(start));
    const std::size_t index = spans.size();
    put16(page, kOffsetsAt + 2 * index, static_cast<std::uint16_t>(start | flags));
    finishLayout(page, index + 1, start);
    return index;
}

Page emptyDataPage(std::uint32_t owner) {
    Page page(kPageSize, 0);
    page[0] = kDataPageType;
    page[1] = 0x01;
    std::memcpy(page.data() + kOwnerAt, &owner, sizeof owner);
    repack(page, {});
    return page;
}

} // namespace dao::jet::detail
