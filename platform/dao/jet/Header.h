#pragma once
// The first page of a Jet 3 or Jet 4 file: which version it is, and so where
// everything else sits, whether its pages are encoded, its code page and its
// database password.
#include "platform/dao/jet/Bytes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dao::jet::detail {

// Where the reader finds things in one version's pages (byte offsets).
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
};

inline constexpr Format kJet3{true, 2048, 1, 8, 23, 25, 31, 35, 43, 8, 18, 1, 3, 12, 13, 14, 16};
inline constexpr Format kJet4{false, 4096, 2, 12, 43, 45, 51, 55, 63, 12, 25, 5, 7, 12, 15, 21, 23};

struct Header {
    Format format;
    std::uint32_t pageKey;               // not zero: pages after the first are RC4-encoded under it
    std::uint16_t codePage;              // of Jet 3 text
    std::vector<std::uint8_t> password;  // unmasked, up to its end (Jet 4: UTF-16LE); empty: none
};

// Not "Standard Jet DB" of version 3 or 4.
struct NotJet {};

// Reads the header from the file's first bytes (as many as a page, fewer if
// the file is shorter). Throws NotJet, or Damaged for a header cut short.
Header readHeader(Bytes first);

} // namespace dao::jet::detail
