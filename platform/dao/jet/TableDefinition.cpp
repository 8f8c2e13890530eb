#include "platform/dao/jet/TableDefinition.h"

#include "platform/dao/jet/DataPage.h"

#include <unordered_set>

namespace dao::jet::detail {

namespace {

constexpr std::uint8_t kDefinitionPageType = 0x02;
constexpr std::uint8_t kMapPageType = 0x05;
constexpr std::size_t kNextPageAt = 4;
// Continuation pages add everything after their 8-byte header.
constexpr std::size_t kContinuationHeader = 8;
// Jet allows 255 columns; a count beyond that is no definition.
constexpr std::uint16_t kMostColumns = 255;
constexpr std::uint32_t kMostIndexes = 1000;
// 255 columns and 1000 indexes fill a few dozen pages; a longer chain would
// only be joined into memory.
constexpr std::size_t kMostDefinitionPages = 256;

} // namespace

std::vector<std::uint8_t> joinedDefinition(const ReadPage& read, const Format& format, std::uint32_t first) {
    std::vector<std::uint8_t> joined;
    std::vector<std::uint8_t> buffer;
    std::unordered_set<std::uint32_t> seen;
    for (std::uint32_t number = first; number != 0;) {
        if (!seen.insert(number).second)
            damaged("table definition pages that loop");
        if (seen.size() > kMostDefinitionPages)
            damaged("a table definition longer than any table's");
        const Bytes page = read(number, buffer);
        if (page.u8(0) != kDefinitionPageType)
            damaged("a table definition page expected");
        const std::size_t from = joined.empty() ? 0 : kContinuationHeader;
        joined.insert(joined.end(), page.data() + from, page.data() + format.pageSize);
        number = page.u32(kNextPageAt);
    }
    return joined;
}

TableDefinition readTableDefinition(Pages& pages, const Format& format, FileText& text, std::uint32_t page) {
    const std::vector<std::uint8_t> joined = joinedDefinition(
        [&](std::uint32_t number, std::vector<std::uint8_t>& buffer) { return pages.read(number, buffer); }, format,
        page);
    return parseTableDefinition(Bytes(joined), format, text, page);
}

TableDefinition parseTableDefinition(Bytes def, const Format& format, FileText& text, std::uint32_t page,
                                     DefinitionPlaces* places) {
    TableDefinition table;
    table.page = page;
    table.varColumns = def.u16(format.tdefNumVarCols);
    const std::uint16_t count = def.u16(format.tdefNumCols);
    const std::uint32_t indexes = def.u32(format.tdefNumIndexes);
    if (count > kMostColumns || indexes > kMostIndexes)
        damaged("more columns or indexes than a table has");
    table.usageMap = def.u32(format.tdefUsageMap);

    std::size_t at = format.tdefColumns + indexes * format.indexEntrySize;
    if (places)
        places->columns = at;
    table.columns.resize(count);
    for (Column& c : table.columns) {
        const Bytes entry = def.sub(at, format.columnEntrySize);
        c.type = entry.u8(0);
        c.number = entry.u16(format.colNumber);
        c.varIndex = entry.u16(format.colVarIndex);
        c.scale = entry.u8(format.colScale);
        c.fixed = (entry.u8(format.colFlags) & 0x01) != 0;
        c.fixedOffset = entry.u16(format.colFixedOffset);
        at += format.columnEntrySize;
    }
    // The names follow in the same order, each after its length in bytes.
    for (Column& c : table.columns) {
        const std::size_t length = format.countSize == 1 ? def.u8(at) : def.u16(at);
        at += format.countSize;
        c.name = text.decode(def.sub(at, length));
        at += length;
    }
    if (places)
        places->afterNames = at;
    return table;
}

std::vector<std::uint32_t> ownedPages(Pages& pages, const Format& format, std::uint32_t pointer) {
    std::vector<std::uint8_t> buffer;
    const DataPage holder(format, pages.read(pointer >> 8, buffer));
    const Bytes map = holder.row(static_cast<std::uint16_t>(pointer & 0xFF));

    std::vector<std::uint32_t> owned;
    const auto take = [&](std::uint64_t first, Bytes bits) {
        for (std::size_t i = 0; i < bits.size() * 8; ++i) {
            if ((bits.u8(i / 8) >> (i % 8) & 1) == 0)
                continue;
            const std::uint64_t number = first + i;
            if (number >= pages.count())
                damaged("a usage map names a page outside the file");
            owned.push_back(static_cast<std::uint32_t>(number));
        }
    };
    switch (map.u8(0)) {
    case 0: // inline: the first page it covers, then one bit a page
        take(map.u32(1), map.from(5));
        break;
    case 1: { // reference: pages of type 5, each a bitmap of the next stretch of pages
        std::vector<std::uint8_t> mapBuffer;
        const std::uint64_t stretch = (std::uint64_t{format.pageSize} - 4) * 8;
        for (std::size_t k = 0; 1 + 4 * k + 4 <= map.size(); ++k) {
            const std::uint32_t mapPage = map.u32(1 + 4 * k);
            if (mapPage == 0)
                continue;
            const Bytes bits = pages.read(mapPage, mapBuffer);
            if (bits.u8(0) != kMapPageType)
                damaged("a usage map page expected");
            take(k * stretch, bits.from(4));
        }
        break;
    }
    default:
        damaged("a usage map of an unknown kind");
    }
    return owned;
}

} // namespace dao::jet::detail
