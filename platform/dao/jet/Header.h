#pragma once
// The first page of a Jet 3 or Jet 4 file: which version it is, and so where
// everything else sits, whether its pages are encoded, its code page and its
// database password.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/Bytes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace dao::jet::detail {

// Where the reader finds things in one version's pages (byte offsets), and
// how the version's header page keeps the database password.
struct Format {
    bool jet3;
    std::uint32_t pageSize;
    std::size_t countSize;        // bytes of a row's column count and of a name's length
    std::size_t dataRowCount;     // data page: row count, the row offsets after it
    std::size_t tdefNumVarCols;   // table definition: variable-length columns
    std::size_t tdefNumCols;      // columns
    std::size_t tdefNumIndexes;   // physical indexes, whose entries come before the columns
    std::size_t tdefUsageMap;     // where the pages the table owns are listed
    std::size_t tdefColumns;      // first column entry
    std::size_t indexEntrySize;
    std::size_t columnEntrySize;
    std::size_t colNumber;        // in a column entry: number in the row's null mask
    std::size_t colVarIndex;      // index in the row's variable-length offsets
    std::size_t colScale;         // decimal places of a Decimal column
    std::size_t colFlags;         // bit 0: fixed length
    std::size_t colFixedOffset;   // place among the row's fixed-length values
    std::size_t colLength;
    // Header page: the bytes hidden under the key every file shares, from
    // where the hiding starts.
    std::size_t headerHiddenSize;
    std::size_t passwordSize;     // bytes kept for the password
    std::size_t passwordCharSize; // bytes of one of its characters
    // Where the creation date lies whose whole days mask the password;
    // nothing when the password is not masked.
    std::optional<std::size_t> passwordMaskAt;
};

inline constexpr Format kJet3{
    .jet3 = true,
    .pageSize = 2048,
    .countSize = 1,
    .dataRowCount = 8,
    .tdefNumVarCols = 23,
    .tdefNumCols = 25,
    .tdefNumIndexes = 31,
    .tdefUsageMap = 35,
    .tdefColumns = 43,
    .indexEntrySize = 8,
    .columnEntrySize = 18,
    .colNumber = 1,
    .colVarIndex = 3,
    .colScale = 12,
    .colFlags = 13,
    .colFixedOffset = 14,
    .colLength = 16,
    .headerHiddenSize = 126,
    .passwordSize = 20,
    .passwordCharSize = 1,
    .passwordMaskAt = std::nullopt,
};

inline constexpr Format kJet4{
    .jet3 = false,
    .pageSize = 4096,
    .countSize = 2,
    .dataRowCount = 12,
    .tdefNumVarCols = 43,
    .tdefNumCols = 45,
    .tdefNumIndexes = 51,
    .tdefUsageMap = 55,
    .tdefColumns = 63,
    .indexEntrySize = 12,
    .columnEntrySize = 25,
    .colNumber = 5,
    .colVarIndex = 7,
    .colScale = 12,
    .colFlags = 15,
    .colFixedOffset = 21,
    .colLength = 23,
    .headerHiddenSize = 128,
    .passwordSize = 40,
    .passwordCharSize = 2,
    .passwordMaskAt = 0x72,
};

struct Header {
    Format format;
    std::uint32_t pageKey;               // not zero: pages after the first are RC4-encoded under it
    std::uint16_t codePage;              // of Jet 3 text
    std::vector<std::uint8_t> password;  // unmasked, up to its end (Jet 4: UTF-16LE); empty: none
};

// Not "Standard Jet DB" of version 3 or 4.
struct NotJet {};

// The catalogue, MSysObjects, always has its definition on page 2.
inline constexpr std::uint32_t kCatalogPage = 2;

// The pages a file of `size` bytes in `format` holds. Damaged unless it is
// whole pages, at least up to the catalogue's definition, and no more than a
// 3-byte page number reaches.
std::uint32_t pageCount(std::int64_t size, const Format& format);

// Reads the header from the file's first bytes (as many as a page, fewer if
// the file is shorter). Throws NotJet, or Damaged for a header cut short.
Header readHeader(Bytes first);

} // namespace dao::jet::detail
