#pragma once
// Rewrites one variable-length value of a row of one table in the working
// copy, whatever the new row's size:
//   - no longer than the row's place: written there, zero-padded;
//   - longer, but the page has the room: the page repacked (same slots, same
//     order, every other row byte for byte);
//   - otherwise: moved to another page of the table with room (or a new page
//     at the end of the file, entered in the table's maps and the global
//     map); the row's own slot keeps a pointer to it, so indexes, which point
//     at that slot, stay right. A row already moved is rewritten where it
//     lives; moved again, its old place becomes a deleted empty slot.
// Every page one rewrite changes reaches the file together (PageBatch).
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/PageBatch.h"
#include "platform/dao/jet/PageFile.h"
#include "platform/dao/jet/TargetDefinition.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace dao::jet::detail {

// A row's own slot: page << 8 | slot.
using RowLocation = std::uint32_t;

class RowWriter {
public:
    RowWriter(PageFile& file, const TargetDefinition& table);

    // The row's bytes, wherever they live; nullopt for a deleted row.
    std::optional<std::vector<std::uint8_t>> read(RowLocation location) const;
    // Gives `column` (variable length) the stored bytes `value` (nullopt:
    // Null). Raises 3047 (naming the row by `key`) for a row past Access's limit.
    void write(RowLocation location, const Column& column, const std::optional<std::vector<std::uint8_t>>& value,
               const std::function<QString()>& key);

private:
    std::uint32_t roomFor(class UsageMaps& maps, std::size_t bytes,
                          std::uint32_t avoidA, std::uint32_t avoidB);

    // The free bytes last seen on `page`, if any.
    std::optional<std::uint16_t> knownFree(std::uint32_t page) const;
    void setKnownFree(std::uint32_t page, std::uint16_t bytes);

    PageFile& file_;
    const TargetDefinition& table_;
    PageBatch batch_; // one update's pages at a time, its buffers reused
    const Page emptyPage_; // what a page added to the table starts as
    std::optional<std::vector<std::uint32_t>> roomPages_; // the free-space map, read once
    std::vector<std::uint16_t> knownFree_; // by page number; kUnknown where not seen
    std::uint32_t lastRoom_ = 0;
    // The search for room starts at roomPages_[scanFrom_]: every page before
    // it is known to lack room for smallestAsked_ bytes.
    std::size_t scanFrom_ = 0;
    std::size_t smallestAsked_ = SIZE_MAX;
    void morePageRoom() { scanFrom_ = 0; }
};

// `row` with `column`'s value replaced (a row older than the column made as
// wide as the definition).
std::vector<std::uint8_t> rowWithValue(std::span<const std::uint8_t> row, const TargetDefinition& table,
                                       const Column& column, const std::optional<std::vector<std::uint8_t>>& value);

} // namespace dao::jet::detail
