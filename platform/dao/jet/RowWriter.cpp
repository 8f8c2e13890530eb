#include "platform/dao/jet/RowWriter.h"

#include "platform/dao/Errors.h"
#include "platform/dao/jet/Bytes.h"
#include "platform/dao/jet/DataPageLayout.h"
#include "platform/dao/jet/PageBatch.h"
#include "platform/dao/jet/Row.h"
#include "platform/dao/jet/UsageMaps.h"

#include <algorithm>

namespace dao::jet::detail {

namespace {
// Pages with room looked at for one row, at most.
constexpr std::size_t kMostCandidates = 64;
// A free-space memo for a page not looked at: more than any page's free bytes.
constexpr std::uint16_t kUnknown = 0xFFFF;
} // namespace

namespace {

constexpr int kMostHops = 8;

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

struct Where {
    std::uint32_t page;
    std::uint16_t slot;
};

Where whereOf(std::uint32_t pointer) {
    return {pointer >> 8, static_cast<std::uint16_t>(pointer & 0xFF)};
}

// A pointer slot's bytes: row, then the 3-byte page; the rest zero.
std::vector<std::uint8_t> pointerBytes(std::size_t size, Where to) {
    if (size < 4)
        damaged("a row too short to hold a pointer");
    std::vector<std::uint8_t> bytes(size, 0);
    bytes[0] = static_cast<std::uint8_t>(to.slot);
    bytes[1] = static_cast<std::uint8_t>(to.page);
    bytes[2] = static_cast<std::uint8_t>(to.page >> 8);
    bytes[3] = static_cast<std::uint8_t>(to.page >> 16);
    return bytes;
}

} // namespace

std::vector<std::uint8_t> rowWithValue(std::span<const std::uint8_t> row, const TargetDefinition& table,
                                       const Column& column, const std::optional<std::vector<std::uint8_t>>& value) {
    const Bytes r(row);
    const std::size_t length = row.size();
    const std::size_t columns = r.u16(0);
    const std::size_t mask = (columns + 7) / 8;
    if (length < 2 + mask + 4)
        damaged("a row too short for its offset table");
    const std::size_t varCount = r.u16(length - mask - 2);
    if (length < 2 + mask + 4 + 2 * varCount)
        damaged("a row too short for its offset table");
    std::vector<std::size_t> offsets(varCount + 1);
    for (std::size_t i = 0; i <= varCount; ++i)
        offsets[i] = r.u16(length - mask - 4 - 2 * i);
    const std::size_t tableStart = length - mask - 4 - 2 * varCount;
    for (std::size_t i = 0; i <= varCount; ++i)
        if (offsets[i] < 2 || offsets[i] > tableStart || (i > 0 && offsets[i] < offsets[i - 1]))
            damaged("a row's values out of order");

    // A row written before the column existed grows to the definition's width.
    const bool widen = column.number >= columns || column.varIndex >= varCount;
    const std::size_t newColumns =
        widen ? std::max({columns, std::size_t{table.maxColumns}, std::size_t{column.number} + 1u}) : columns;
    const std::size_t newVarCount = std::max<std::size_t>(varCount, column.varIndex + 1u);
    std::size_t fixedEnd = offsets[0];
    if (widen) {
        for (const Column& c : table.table.columns)
            if (c.fixed && c.number < newColumns)
                fixedEnd = std::max(fixedEnd, 2 + std::size_t{c.fixedOffset} + fixedSize(c.type));
    }

    std::vector<std::uint8_t> out;
    out.reserve(length + (value ? value->size() : 0) + 16);
    put16(out, static_cast<std::uint16_t>(newColumns));
    out.insert(out.end(), row.begin() + 2, row.begin() + static_cast<std::ptrdiff_t>(offsets[0]));
    out.resize(fixedEnd, 0);
    std::vector<std::size_t> newOffsets(newVarCount + 1);
    for (std::size_t i = 0; i < newVarCount; ++i) {
        newOffsets[i] = out.size();
        if (i == column.varIndex) {
            if (value)
                out.insert(out.end(), value->begin(), value->end());
        } else if (i < varCount) {
            out.insert(out.end(), row.begin() + static_cast<std::ptrdiff_t>(offsets[i]),
                       row.begin() + static_cast<std::ptrdiff_t>(offsets[i + 1]));
        }
    }
    newOffsets[newVarCount] = out.size();
    if (out.size() > 0xFFFF)
        damaged("a row too long for its offsets");
    for (std::size_t i = newVarCount + 1; i-- > 0;)
        put16(out, static_cast<std::uint16_t>(newOffsets[i]));
    put16(out, static_cast<std::uint16_t>(newVarCount));
    const std::size_t newMask = (newColumns + 7) / 8;
    const std::size_t maskAt = out.size();
    out.insert(out.end(), row.end() - static_cast<std::ptrdiff_t>(mask), row.end());
    out.resize(maskAt + newMask, 0);
    const auto bit = static_cast<std::uint8_t>(1u << (column.number % 8));
    std::uint8_t& b = out[maskAt + column.number / 8];
    b = static_cast<std::uint8_t>(value ? b | bit : b & ~bit);
    return out;
}

namespace {

// `row` as `size` bytes: zeros between the values and their offset table,
// which keeps its place at the end.
std::vector<std::uint8_t> padded(const std::vector<std::uint8_t>& row, std::size_t size) {
    const Bytes r(row);
    const std::size_t mask = (std::size_t{r.u16(0)} + 7) / 8;
    const std::size_t varCount = r.u16(row.size() - mask - 2);
    const std::size_t trailer = mask + 2 + 2 * (varCount + 1);
    std::vector<std::uint8_t> out(row.begin(), row.end() - static_cast<std::ptrdiff_t>(trailer));
    out.resize(size - trailer, 0);
    out.insert(out.end(), row.end() - static_cast<std::ptrdiff_t>(trailer), row.end());
    return out;
}

} // namespace

RowWriter::RowWriter(PageFile& file, const TargetDefinition& table)
    : file_(file), table_(table), batch_(file), emptyPage_(emptyDataPage(table.table.page)) {}

std::optional<std::uint16_t> RowWriter::knownFree(std::uint32_t page) const {
    if (page >= knownFree_.size() || knownFree_[page] == kUnknown)
        return std::nullopt;
    return knownFree_[page];
}

void RowWriter::setKnownFree(std::uint32_t page, std::uint16_t bytes) {
    if (page >= knownFree_.size())
        knownFree_.resize(std::max<std::size_t>(page + 1, knownFree_.size() * 2), kUnknown);
    knownFree_[page] = bytes;
}

std::optional<std::vector<std::uint8_t>> RowWriter::read(RowLocation location) const {
    Where at = whereOf(location);
    for (int hops = 0; hops < kMostHops; ++hops) {
        const Page& page = file_.read(at.page); // done with before the next read
        const SlotSpans spans = slotSpans(page);
        if (at.slot >= spans.size())
            damaged("a row number past the page's rows");
        const SlotSpan& s = spans[at.slot];
        if (hops == 0 && (s.flags & kRowDeleted) != 0)
            return std::nullopt;
        std::vector<std::uint8_t> bytes(page.begin() + static_cast<std::ptrdiff_t>(s.start),
                                        page.begin() + static_cast<std::ptrdiff_t>(s.end));
        if ((s.flags & kRowOverflow) == 0)
            return bytes;
        at = whereOf(Bytes(bytes).u32(0));
    }
    damaged("overflow rows that loop");
}

std::uint32_t RowWriter::roomFor(UsageMaps& maps, std::size_t bytes, std::uint32_t avoidA,
                                 std::uint32_t avoidB) {
    if (!roomPages_)
        roomPages_ = maps.pages(table_.freeMap);
    if (bytes < smallestAsked_) {
        smallestAsked_ = bytes;
        morePageRoom();
    }
    const auto fits = [&](std::uint32_t number) {
        if (number == avoidA || number == avoidB || number == 0 || number >= file_.count())
            return false;
        if (const std::optional<std::uint16_t> known = knownFree(number); known && *known < bytes + 2)
            return false;
        // Read past the batch: a page looked at and not taken stays out of it.
        const Page& page = file_.read(number);
        if (page[0] != kDataPageType || ownerOf(page) != table_.table.page)
            return false;
        const SlotSpans spans = slotSpans(page);
        const std::uint16_t free = freeSpace(spans);
        setKnownFree(number, free);
        return free >= bytes + 2 && spans.size() < kMostRowsPerPage;
    };
    if (lastRoom_ != 0 && fits(lastRoom_))
        return lastRoom_;
    // First fit among the next few candidates; past those a new page is
    // cheaper than walking every nearly full page again for each row.
    const std::size_t stop = std::min(roomPages_->size(), scanFrom_ + kMostCandidates);
    for (std::size_t i = scanFrom_; i < stop; ++i) {
        const std::uint32_t number = (*roomPages_)[i];
        if (fits(number))
            return lastRoom_ = number;
        // A page known to lack room even for the smallest row asked for so
        // far is passed by from now on, until some page gains room: the
        // search stays the same, without walking every full page again.
        const std::optional<std::uint16_t> known = knownFree(number);
        if (i == scanFrom_ && known && *known < smallestAsked_ + 2)
            ++scanFrom_;
    }
    const std::uint32_t made = maps.allocate(emptyPage_);
    maps.add(table_.ownedMap, made);
    maps.add(table_.freeMap, made);
    // Looked at first next time (a failed update leaves a number past the
    // file here, which fits() turns down).
    roomPages_->push_back(made);
    lastRoom_ = made;
    return made;
}

void RowWriter::write(RowLocation location, const Column& column, const std::optional<std::vector<std::uint8_t>>& value,
                      const std::function<QString()>& key) {
    PageBatch& batch = batch_;
    batch.discard(); // what a failed update before this one left
    UsageMaps maps(batch);
    const Where head = whereOf(location);
    Page& headPage = batch.page(head.page);
    const SlotSpans headSpans = slotSpans(headPage);
    if (head.slot >= headSpans.size())
        damaged("a row number past the page's rows");
    const SlotSpan headSpan = headSpans[head.slot];
    if ((headSpan.flags & kRowDeleted) != 0)
        throw errors::recordDeleted();
    Where data = head;
    if ((headSpan.flags & kRowOverflow) != 0) {
        data = whereOf(Bytes(headPage).u32(headSpan.start));
        if (data.page == head.page)
            damaged("a row moved onto its own page");
    }
    // The pages' slots are taken once for the cases that change only these
    // pages; a move may change any page through the maps, so it takes them again.
    Page& dataPage = data.page == head.page ? headPage : batch.page(data.page);
    SlotSpans movedSpans;
    if (data.page != head.page)
        movedSpans = slotSpans(dataPage);
    const SlotSpans& dataSpans = data.page == head.page ? headSpans : movedSpans;
    if (data.slot >= dataSpans.size() || (dataSpans[data.slot].flags & kRowOverflow) != 0)
        damaged("an overflow pointer to no row");
    const SlotSpan here = dataSpans[data.slot];
    const std::vector<std::uint8_t> row =
        rowWithValue(std::span(dataPage).subspan(here.start, here.end - here.start), table_, column, value);
    if (row.size() > kMostRowBytes)
        throw errors::recordTooLarge(key(), static_cast<int>(kMostRowBytes));
    const std::size_t place = here.end - here.start;
    const std::uint16_t free = freeSpace(dataSpans);

    // Each case changes only the slots it names: every other row keeps its bytes and flags.
    if (row.size() <= place) {
        replaceSlot(dataPage, dataSpans, data.slot, padded(row, place), here.flags);
    } else if (row.size() - place <= free) {
        replaceSlot(dataPage, dataSpans, data.slot, row, here.flags);
    } else {
        const std::uint32_t target = roomFor(maps, row.size(), head.page, data.page);
        Page& targetPage = batch.page(target);
        const std::size_t slot = appendSlot(targetPage, row, kRowDeleted);
        const Where moved{target, static_cast<std::uint16_t>(slot)};
        const SlotSpans now = slotSpans(headPage);
        if (head.slot >= now.size())
            damaged("a row number past the page's rows");
        const SlotSpan pointer = now[head.slot];
        replaceSlot(headPage, head.slot, pointerBytes(pointer.end - pointer.start, moved),
                    static_cast<std::uint16_t>(pointer.flags | kRowOverflow));
        if (data.page != head.page) {
            // The old place: a deleted slot with no bytes, so no reader meets the row twice.
            replaceSlot(dataPage, data.slot, {}, static_cast<std::uint16_t>(kRowDeleted | kRowOverflow));
            morePageRoom(); // that page has more room than it had
        }
        setKnownFree(target, freeSpace(targetPage));
    }
    setKnownFree(data.page, freeSpace(dataPage));
    batch.apply();
}

} // namespace dao::jet::detail
