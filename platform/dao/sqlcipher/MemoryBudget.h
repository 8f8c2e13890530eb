#pragma once
// How much memory reading SQLCipher files may take, in one place so that the
// sum can be seen: SQLite's own heap, the rows a snapshot holds, the rows a
// keyset cursor reads ahead, and the rowids it keeps. A file made to exhaust
// memory then ends in error 7 naming it, with the whole process under 1 GiB,
// instead of swapping or being killed. readRow counts what rows hold.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/sqlcipher/Sql.h"
#include "runtime/Variant.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dao::detail {

// SQLite's heap, every connection together: page caches (16 MiB a file,
// 48 MiB once written), statements, and sorts and temporary tables, which
// are kept in memory. A run of legitimate files needs well under 100 MiB.
inline constexpr std::int64_t kSqliteHeapBytes = std::int64_t{256} << 20;
// Every row of one snapshot (a view, a table without rowids, any query that
// is not a plain table read): some 1,200,000 rows of a number and two short
// texts.
inline constexpr std::size_t kSnapshotBytes = std::size_t{320} << 20;
// The rows a keyset cursor reads at once: at least the one it stands on,
// whatever its size.
inline constexpr std::size_t kReadAheadBytes = std::size_t{4} << 20;
// The rowids one keyset cursor keeps: 8 bytes each, twice that while their
// vector grows, so as much as a snapshot. A row of a table takes a few bytes
// of the file, so a large file would otherwise take four times its size.
inline constexpr std::size_t kMostKeys = kSnapshotBytes / 16;
// What is left of 1 GiB covers the rest: the target's key lookups (64 MiB)
// and held updates (32 MiB), one value on its way (a 16 MiB text is 32 MiB as
// a QString and 48 MiB packed for SQLite), the program itself (about 35 MiB)
// and the allocator's slack.
static_assert(kSqliteHeapBytes + kSnapshotBytes + kReadAheadBytes <= std::int64_t{640} << 20);

// What a row costs beyond its values: its vector's block and its slot in the
// vector of rows (twice while that one grows).
inline constexpr std::size_t kRowOverhead = 64;

// The bytes a value read from a file holds in memory, its own slot included.
std::size_t heldBytes(const vb::Variant& value);

// Columns first to first + count - 1 of the query's current row. Their bytes
// and kRowOverhead are added to `held`; once that passes `most`, raises
// error 7 naming `file`.
std::vector<vb::Variant> readRow(const Query& query, int first, int count, std::size_t& held, std::size_t most,
                                 const QString& file);

} // namespace dao::detail
