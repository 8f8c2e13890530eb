#include "platform/dao/jet/TargetDefinition.h"

#include <algorithm>

namespace dao::jet::detail {

namespace {

constexpr std::size_t kMaxColumnsAt = 41;
constexpr std::size_t kFreeMapAt = 59;
constexpr std::size_t kColumnExtFlags = 16; // bit 0: compressed unicode
// A real index's entry after the names: 4 bytes, 10 × (column number, order),
// then usage map, first page, flags and 9 more bytes.
constexpr std::size_t kRealIndexEntry = 52;
constexpr std::size_t kRealIndexColumns = 10;
constexpr std::uint16_t kNoColumn = 0xFFFF;

} // namespace

bool TargetDefinition::indexed(std::uint16_t columnNumber) const {
    return std::any_of(realIndexes.begin(), realIndexes.end(), [&](const std::vector<std::uint16_t>& numbers) {
        return std::find(numbers.begin(), numbers.end(), columnNumber) != numbers.end();
    });
}

TargetDefinition readTargetDefinition(const ReadPage& read, std::uint32_t page, FileText& text) {
    const Format& format = kJet4;
    const std::vector<std::uint8_t> joined = joinedDefinition(read, format, page);
    const Bytes def(joined);
    TargetDefinition t;
    DefinitionPlaces places;
    t.table = parseTableDefinition(def, format, text, page, &places);
    t.maxColumns = def.u16(kMaxColumnsAt);
    t.ownedMap = t.table.usageMap;
    t.freeMap = def.u32(kFreeMapAt);

    t.columns.resize(t.table.columns.size());
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const Bytes entry = def.sub(places.columns + i * format.columnEntrySize, format.columnEntrySize);
        t.columns[i].length = entry.u16(format.colLength);
        t.columns[i].compressed = (entry.u8(kColumnExtFlags) & 0x01) != 0;
    }
    // The real indexes' entries follow the names; the reader checked their count.
    std::size_t at = places.afterNames;
    t.realIndexes.resize(def.u32(format.tdefNumIndexes));
    for (std::vector<std::uint16_t>& columns : t.realIndexes) {
        const Bytes entry = def.sub(at, kRealIndexEntry);
        for (std::size_t k = 0; k < kRealIndexColumns; ++k) {
            const std::uint16_t number = entry.u16(4 + 3 * k);
            if (number != kNoColumn)
                columns.push_back(number);
        }
        at += kRealIndexEntry;
    }
    return t;
}

} // namespace dao::jet::detail
