#include "platform/dao/jet/TargetDefinition.h"

#include <algorithm>

namespace dao::jet::detail {

namespace {

constexpr std::size_t kMaxColumnsAt = 41;
constexpr std::size_t kRealIndexCountAt = 51;
constexpr std::size_t kOwnedMapAt = 55;
constexpr std::size_t kFreeMapAt = 59;
constexpr std::size_t kColumnExtFlags = 16; // bit 0: compressed unicode
// A real index's entry after the names: 4 bytes, 10 × (column number, order),
// then usage map, first page, flags and 9 more bytes.
constexpr std::size_t kRealIndexEntry = 52;
constexpr std::size_t kRealIndexColumns = 10;
constexpr std::uint16_t kNoColumn = 0xFFFF;
constexpr std::uint16_t kMostColumns = 255;
constexpr std::uint32_t kMostIndexes = 1000;

} // namespace

bool TargetDefinition::indexed(std::uint16_t columnNumber) const {
    return std::any_of(realIndexes.begin(), realIndexes.end(), [&](const std::vector<std::uint16_t>& numbers) {
        return std::find(numbers.begin(), numbers.end(), columnNumber) != numbers.end();
    });
}

TargetDefinition parseTargetDefinition(Bytes def, std::uint32_t page, FileText& text) {
    const Format& format = kJet4;
    TargetDefinition t;
    t.table.page = page;
    t.maxColumns = def.u16(kMaxColumnsAt);
    t.table.varColumns = def.u16(format.tdefNumVarCols);
    const std::uint16_t count = def.u16(format.tdefNumCols);
    const std::uint32_t indexes = def.u32(format.tdefNumIndexes);
    const std::uint32_t realIndexes = def.u32(kRealIndexCountAt);
    if (count > kMostColumns || indexes > kMostIndexes || realIndexes > kMostIndexes)
        damaged("more columns or indexes than a table has");
    t.ownedMap = def.u32(kOwnedMapAt);
    t.freeMap = def.u32(kFreeMapAt);
    t.table.usageMap = t.ownedMap;

    std::size_t at = format.tdefColumns + realIndexes * format.indexEntrySize;
    t.table.columns.resize(count);
    t.columns.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Bytes entry = def.sub(at, format.columnEntrySize);
        Column& c = t.table.columns[i];
        c.type = entry.u8(0);
        c.number = entry.u16(format.colNumber);
        c.varIndex = entry.u16(format.colVarIndex);
        c.scale = entry.u8(format.colScale);
        c.fixed = (entry.u8(format.colFlags) & 0x01) != 0;
        c.fixedOffset = entry.u16(format.colFixedOffset);
        t.columns[i].length = entry.u16(format.colLength);
        t.columns[i].compressed = (entry.u8(kColumnExtFlags) & 0x01) != 0;
        at += format.columnEntrySize;
    }
    for (Column& c : t.table.columns) {
        const std::size_t length = def.u16(at);
        at += 2;
        c.name = text.decode(def.sub(at, length));
        at += length;
    }
    t.realIndexes.resize(realIndexes);
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
