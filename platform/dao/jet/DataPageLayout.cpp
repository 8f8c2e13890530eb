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

std::vector<SlotSpan> slotSpans(const Page& page) {
    std::vector<SlotSpan> spans;
    eachSlot(
        page, [&](std::size_t rows) { spans.reserve(rows); },
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

// The rows of `spans` from `first` on moved by `shift` (towards the page's
// end when positive), `count` slots in the table, the free space between the
// table and the lowest row zeroed, as repack() leaves a page.
void relayout(Page& page, const std::vector<SlotSpan>& spans, std::size_t first, std::ptrdiff_t shift,
              std::size_t count, std::size_t lowest) {
    for (std::size_t j = first; j < spans.size(); ++j)
        put16(page, kOffsetsAt + 2 * j,
              static_cast<std::uint16_t>(static_cast<std::size_t>(static_cast<std::ptrdiff_t>(spans[j].start) + shift) |
                                         spans[j].flags));
    const std::size_t tableEnd = kOffsetsAt + 2 * count;
    std::fill(page.begin() + static_cast<std::ptrdiff_t>(tableEnd), page.begin() + static_cast<std::ptrdiff_t>(lowest),
              std::uint8_t{0});
    put16(page, kCountAt, static_cast<std::uint16_t>(count));
    put16(page, kFreeAt, static_cast<std::uint16_t>(lowest - tableEnd));
}

std::size_t rowBytes(const std::vector<SlotSpan>& spans) {
    return spans.empty() ? 0 : kPageSize - spans.back().start;
}

} // namespace

void replaceSlot(Page& page, std::size_t index, std::span<const std::uint8_t> bytes, std::uint16_t flags) {
    const std::vector<SlotSpan> spans = slotSpans(page);
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
    std::vector<SlotSpan> moved = spans;
    moved[index] = {newStart - static_cast<std::size_t>(shift), old.end, flags}; // placed by the shift below
    relayout(page, moved, index, shift, spans.size(), newStart - below);
}

std::size_t appendSlot(Page& page, std::span<const std::uint8_t> bytes, std::uint16_t flags) {
    std::vector<SlotSpan> spans = slotSpans(page);
    if (spans.size() + 1 > kMostRowsPerPage ||
        kOffsetsAt + 2 * (spans.size() + 1) + rowBytes(spans) + bytes.size() > kPageSize)
        damaged("rows that do not fit their page");
    const std::size_t lowest = spans.empty() ? kPageSize : spans.back().start;
    const std::size_t start = lowest - bytes.size();
    std::copy(bytes.begin(), bytes.end(), page.begin() + static_cast<std::ptrdiff_t>(start));
    spans.push_back({start, lowest, flags});
    relayout(page, spans, spans.size() - 1, 0, spans.size(), start);
    return spans.size() - 1;
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
