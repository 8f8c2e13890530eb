#pragma once
// What every connection does against a file made to harm it: SQLite's
// defensive mode, no trust in functions named by the schema, and a cap on the
// size of one value. (How deeply views nest is checked apart: ViewNesting.h.)
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include <sqlcipher/sqlite3.h>

namespace dao::detail {

// The largest text or blob a statement may make: a clear error, instead of
// hundreds of megabytes in memory or in the target.
inline constexpr int kLongestValue = 16 << 20;

// For the holder of the handle, before anything is read.
void installDefences(sqlite3* db);

} // namespace dao::detail
