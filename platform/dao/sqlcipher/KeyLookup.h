#pragma once
// The rows of one table by the numeric value of one column, built by one pass
// over the table and kept in memory. It answers "col = <number>" the way
// SQLite does for a column without text affinity: only stored integers and
// reals can equal a number, an integer and a real compare as reals, two
// integers exactly; Null, text and blobs never match.
//
// The table may have no index on the column and we may not add one to the
// user's file, so without this every keyed open would scan the whole table
// and a run of one open per row would take quadratic time.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/NumberIndex.h"

#include <sqlcipher/sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace dao::detail {

class KeyLookup {
public:
    // Reads the rows of `scan`, whose columns are the rowid and the key
    // value; `step` advances it (raising on failure) and says whether there
    // is a row; about `expected` rows are likely. Nothing when the lookup
    // would take more than `budget` bytes.
    static std::optional<KeyLookup> build(sqlite3_stmt* scan, const std::function<bool()>& step,
                                          std::size_t expected, std::size_t budget);

    // The rowids, in rowid order, of the rows equal to `number`; false (and
    // nothing appended) when only SQLite can tell: two integers beyond 2^53
    // may differ where their nearest reals do not.
    bool find(const std::variant<std::int64_t, double>& number, std::vector<std::int64_t>& rowids) const;

    std::size_t bytes() const { return index_.bytes(); }

private:
    NumberIndex index_; // rows are rowids
};

} // namespace dao::detail
