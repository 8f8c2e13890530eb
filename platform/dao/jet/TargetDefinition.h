#pragma once
// What the writer needs from a Jet 4 table definition beyond what the reader
// reads: each column's length and text compression, the highest column count
// a row may have, the columns of every real index, and where the table's two
// usage maps (owned pages, pages with free space) are. Read-only: the writer
// never changes a definition.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/Bytes.h"
#include "platform/dao/jet/TableDefinition.h"

#include <cstdint>
#include <vector>

namespace dao::jet::detail {

struct TargetColumn {
    std::uint16_t length = 0;    // in bytes (Text: twice the characters)
    bool compressed = false;     // Text: "unicode compression" allowed
};

struct TargetDefinition {
    TableDefinition table;                        // as the reader sees it
    std::vector<TargetColumn> columns;            // parallel to table.columns
    std::uint16_t maxColumns = 0;                 // null-mask width of a fresh row
    std::vector<std::vector<std::uint16_t>> realIndexes; // column numbers of each real index
    std::uint32_t ownedMap = 0;                   // page << 8 | row
    std::uint32_t freeMap = 0;

    bool indexed(std::uint16_t columnNumber) const;
};

// The definition on `page` and its continuations, read through `read`: the
// reader's parse, then what only the writer needs. Damaged as
// readTableDefinition is, and for index entries that run past the
// definition. Jet 4 only.
TargetDefinition readTargetDefinition(const ReadPage& read, std::uint32_t page, FileText& text);

} // namespace dao::jet::detail
