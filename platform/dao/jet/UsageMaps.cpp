#include "platform/dao/jet/UsageMaps.h"

#include "platform/dao/jet/Bytes.h"
#include "platform/dao/jet/DataPageLayout.h"

#include <algorithm>
#include <cstring>

namespace dao::jet::detail {

namespace {

constexpr std::uint8_t kInline = 0;
constexpr std::uint8_t kReference = 1;
constexpr std::uint8_t kMapPageType = 0x05;
constexpr std::size_t kInlineBits = 5;     // type, start page
constexpr std::size_t kMapPageBits = 4;    // a map page's bitmap starts here
constexpr std::size_t kPageSize = 4096;
constexpr std::uint32_t kPagesPerMapPage = (kPageSize - kMapPageBits) * 8;
constexpr std::uint32_t kGlobalMap = 1u << 8; // page 1, row 0

std::uint32_t get32(const std::uint8_t* at) {
    std::uint32_t v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

void put32(std::uint8_t* at, std::uint32_t v) {
    std::memcpy(at, &v, sizeof v);
}

bool bit(const std::uint8_t* bits, std::size_t index) {
    return (bits[index / 8] >> (index % 8) & 1) != 0;
}

} // namespace

void UsageMaps::setBit(std::uint8_t* bits, std::size_t index, bool on) {
    const auto mask = static_cast<std::uint8_t>(1u << (index % 8));
    bits[index / 8] = static_cast<std::uint8_t>(on ? bits[index / 8] | mask : bits[index / 8] & ~mask);
}

UsageMaps::MapRow UsageMaps::row(std::uint32_t pointer) {
    Page& holder = batch_.page(pointer >> 8);
    const SlotSpans spans = slotSpans(holder);
    const std::size_t index = pointer & 0xFF;
    if (index >= spans.size() || (spans[index].flags & kRowDeleted) != 0)
        damaged("a usage map row that is not there");
    const SlotSpan& s = spans[index];
    if (s.end - s.start < kInlineBits + 1)
        damaged("a usage map row too short");
    return {&holder, s.start, s.end - s.start};
}

std::vector<std::uint32_t> UsageMaps::pages(std::uint32_t pointer) {
    const MapRow map = row(pointer);
    const std::uint8_t* r = map.holder->data() + map.start;
    std::vector<std::uint32_t> result;
    if (r[0] == kInline) {
        const std::uint32_t start = get32(r + 1);
        for (std::size_t i = 0; i < (map.size - kInlineBits) * 8; ++i)
            if (bit(r + kInlineBits, i))
                result.push_back(static_cast<std::uint32_t>(start + i));
    } else if (r[0] == kReference) {
        for (std::size_t k = 0; 1 + 4 * k + 4 <= map.size; ++k) {
            const std::uint32_t mapPage = get32(map.holder->data() + map.start + 1 + 4 * k);
            if (mapPage == 0)
                continue;
            const Page& bits = batch_.page(mapPage);
            if (bits[0] != kMapPageType)
                damaged("a usage map page expected");
            for (std::size_t i = 0; i < kPagesPerMapPage; ++i)
                if (bit(bits.data() + kMapPageBits, i))
                    result.push_back(static_cast<std::uint32_t>(k * kPagesPerMapPage + i));
        }
    } else {
        damaged("a usage map of an unknown kind");
    }
    return result;
}

std::uint32_t UsageMaps::newMapPage(bool allFree) {
    Page page(kPageSize, allFree ? 0xFF : 0x00);
    page[0] = kMapPageType;
    page[1] = 0x01;
    page[2] = 0;
    page[3] = 0;
    // The global map would need this very page marked while it is being
    // made: the mark waits until the map page is in place.
    const std::uint32_t number = batch_.append(page);
    pendingUsed_.push_back(number);
    return number;
}

void UsageMaps::setReferenced(std::uint32_t pointer, const MapRow& map, std::uint32_t page, bool on,
                              const char* pastReach) {
    const std::uint32_t k = page / kPagesPerMapPage;
    if (1 + 4 * std::size_t{k} + 4 > map.size)
        damaged(pastReach);
    std::uint32_t mapPage = get32(map.holder->data() + map.start + 1 + 4 * k);
    if (mapPage == 0) {
        mapPage = newMapPage(!on);
        put32(batch_.page(pointer >> 8).data() + map.start + 1 + 4 * k, mapPage);
    }
    Page& bits = batch_.page(mapPage);
    if (bits[0] != kMapPageType)
        damaged("a usage map page expected");
    setBit(bits.data() + kMapPageBits, page - k * kPagesPerMapPage, on);
}

void UsageMaps::add(std::uint32_t pointer, std::uint32_t page) {
    MapRow map = row(pointer);
    std::uint8_t* r = map.holder->data() + map.start;
    if (r[0] == kReference) {
        setReferenced(pointer, map, page, true, "a page past what a usage map reaches");
    } else if (r[0] == kInline) {
        const std::uint32_t start = get32(r + 1);
        const std::size_t bits = (map.size - kInlineBits) * 8;
        if (page >= start && page - start < bits) {
            setBit(r + kInlineBits, page - start, true);
        } else {
            std::vector<std::uint32_t> listed = pages(pointer);
            listed.push_back(page);
            const std::uint32_t low = *std::min_element(listed.begin(), listed.end()) / 8 * 8;
            const std::uint32_t high = *std::max_element(listed.begin(), listed.end());
            r = batch_.page(pointer >> 8).data() + map.start;
            std::fill(r + 1, r + map.size, std::uint8_t{0});
            if (high - low < bits) {
                // Moved: the same pages from a new start.
                put32(r + 1, low);
                for (const std::uint32_t p : listed)
                    setBit(r + kInlineBits, p - low, true);
            } else {
                // Made a reference map: the row's bytes become page pointers.
                r[0] = kReference;
                for (const std::uint32_t p : listed)
                    setReferenced(pointer, map, p, true, "a page past what a usage map reaches");
            }
        }
    } else {
        damaged("a usage map of an unknown kind");
    }
    markPending();
}

void UsageMaps::markUsed(std::uint32_t page) {
    MapRow map = row(kGlobalMap);
    std::uint8_t* r = map.holder->data() + map.start;
    if (r[0] == kReference) {
        // Pages a missing map page would cover count as free; a new one says
        // so, then takes itself and `page`.
        setReferenced(kGlobalMap, map, page, false, "a page past what the global usage map reaches");
    } else if (r[0] == kInline) {
        std::uint32_t start = get32(r + 1);
        const std::size_t bits = (map.size - kInlineBits) * 8;
        if (page >= start + bits) {
            // Pages before the new start drop out of the map (they count as
            // free but are not reused by this program); new ones come in free.
            const std::uint32_t moved = (page - static_cast<std::uint32_t>(bits / 2)) / 8 * 8;
            std::vector<bool> old(bits);
            for (std::size_t i = 0; i < bits; ++i)
                old[i] = bit(r + kInlineBits, i);
            for (std::size_t i = 0; i < bits; ++i) {
                const std::uint64_t p = std::uint64_t{moved} + i;
                setBit(r + kInlineBits, i, p >= start + bits ? true : old[p - start]);
            }
            put32(r + 1, moved);
            start = moved;
        }
        if (page >= start)
            setBit(r + kInlineBits, page - start, false);
    } else {
        damaged("a usage map of an unknown kind");
    }
    markPending();
}

void UsageMaps::markPending() {
    std::vector<std::uint32_t> pending;
    pending.swap(pendingUsed_);
    for (const std::uint32_t p : pending)
        markUsed(p);
}

std::uint32_t UsageMaps::allocate(const Page& page) {
    const std::uint32_t number = batch_.append(page);
    markUsed(number);
    return number;
}

} // namespace dao::jet::detail
