#pragma once
// A table's definition (its table-definition pages, type 2, chained) and the
// list of pages it owns (its usage map), in the order a scan visits them.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/Bytes.h"
#include "platform/dao/jet/Header.h"
#include "platform/dao/jet/Pages.h"
#include "platform/dao/jet/Text.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace dao::jet::detail {

// Column types as the file numbers them.
enum ColumnType : std::uint8_t {
    kBoolean = 0x01,
    kByte = 0x02,
    kInteger = 0x03,
    kLong = 0x04,
    kCurrency = 0x05,
    kSingle = 0x06,
    kDouble = 0x07,
    kDateTime = 0x08,
    kBinary = 0x09,
    kText = 0x0A,
    kOle = 0x0B,
    kMemo = 0x0C,
    kGuid = 0x0F,
    kNumeric = 0x10,
};

struct Column {
    QString name;
    std::uint8_t type = 0;
    bool fixed = false;
    std::uint16_t number = 0;      // its bit in a row's null mask
    std::uint16_t varIndex = 0;    // variable length: its entry in a row's offset table
    std::uint16_t fixedOffset = 0; // fixed length: where it starts after the row's column count
    std::uint8_t scale = 0;        // Decimal: places after the point
};

struct TableDefinition {
    std::uint32_t page = 0;
    std::uint16_t varColumns = 0;  // none: rows carry no offset table
    std::vector<Column> columns;   // in the order they appear in the definition, the table's own order
    std::uint32_t usageMap = 0;    // page << 8 | row of the row that lists the pages it owns
};

// Page `number`, decoded into `buffer` (the view lives as long as the
// buffer's contents): the reader's libmdb pages or the writer's working copy.
using ReadPage = std::function<Bytes(std::uint32_t number, std::vector<std::uint8_t>& buffer)>;

// The definition starting on page `first`, its pages joined (continuations
// without their 8-byte header). Damaged for a page that is no table
// definition or a chain that loops or leaves the file.
std::vector<std::uint8_t> joinedDefinition(const ReadPage& read, const Format& format, std::uint32_t first);

// Where a joined definition's parts lie, for whoever reads more of it than
// the reader does.
struct DefinitionPlaces {
    std::size_t columns = 0;    // the first column entry
    std::size_t afterNames = 0; // past the last column name
};

// The definition `joined` from page `page`. Damaged for entries that run
// past it.
TableDefinition parseTableDefinition(Bytes joined, const Format& format, FileText& text, std::uint32_t page,
                                     DefinitionPlaces* places = nullptr);

// Both of the above. Damaged for a page that is no table definition, a chain
// that loops or leaves the file, or entries that run past the definition.
TableDefinition readTableDefinition(Pages& pages, const Format& format, FileText& text, std::uint32_t page);

// The pages the map at `pointer` marks, ascending. Damaged for a map that
// names pages outside the file.
std::vector<std::uint32_t> ownedPages(Pages& pages, const Format& format, std::uint32_t pointer);

} // namespace dao::jet::detail
