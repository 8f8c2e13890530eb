#pragma once
// Owning wrappers for the SQLCipher handles and the mapping between column
// values and vb::Variant.
#include "runtime/Variant.h"

#include <sqlcipher/sqlite3.h>

#include <memory>

namespace dao::detail {

struct HandleCloser {
    // close_v2 defers the close until the last statement is finalized, so
    // destruction order between handle and statements never leaks or crashes.
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
using Handle = std::unique_ptr<sqlite3, HandleCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// The value of column i of the current result row.
vb::Variant columnValue(sqlite3_stmt* stmt, int i);
// Binds a value to parameter i (1-based); returns the SQLite result code.
int bindValue(sqlite3_stmt* stmt, int i, const vb::Variant& value);

} // namespace dao::detail
