#pragma once
// Changing Jet 4 usage maps: a table's map of the pages it owns and its map
// of those with free space (a set bit: listed), and the file's global map on
// page 1 (a set bit: free). A map is a row on a data page, either inline (a
// start page and a bitmap) or a reference map (pointers to pages of type 5,
// each a bitmap of the next 32,736 pages). An inline table map that cannot
// take a page is moved to a later start page when its pages allow, otherwise
// made a reference map; the global map assumes pages past its range free and
// moves forward to take one.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/PageBatch.h"

#include <cstdint>
#include <vector>

namespace dao::jet::detail {

class UsageMaps {
public:
    explicit UsageMaps(PageBatch& batch) : batch_(batch) {}

    // The pages the map at `pointer` (page << 8 | row) lists, ascending.
    std::vector<std::uint32_t> pages(std::uint32_t pointer);
    // Lists `page` in the table map at `pointer`.
    void add(std::uint32_t pointer, std::uint32_t page);
    // A new page at the end of the file, marked used in the global map.
    std::uint32_t allocate(const Page& page);

private:
    struct MapRow {
        Page* holder;
        std::size_t start;
        std::size_t size;
    };
    MapRow row(std::uint32_t pointer);
    void markUsed(std::uint32_t page);
    // Marks used the map pages made since the last call (pendingUsed_).
    void markPending();
    std::uint32_t newMapPage(bool allFree);
    // Sets `page`'s bit to `on` in the reference map `map` at `pointer`,
    // making the map page that covers it (every other bit the opposite)
    // when there is none. Damaged with `pastReach` when the map has no
    // pointer that far.
    void setReferenced(std::uint32_t pointer, const MapRow& map, std::uint32_t page, bool on, const char* pastReach);
    static void setBit(std::uint8_t* bits, std::size_t index, bool on);

    PageBatch& batch_;
    // Map pages made while a map changes, marked used in the global map once it is done.
    std::vector<std::uint32_t> pendingUsed_;
};

} // namespace dao::jet::detail
