#pragma once
// Owning wrappers for the SQLCipher handles and the mapping between column
// values and vb::Variant.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "runtime/Variant.h"

#include <QStringEncoder>

#include <sqlcipher/sqlite3.h>

#include <cstddef>
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

// Parameter values packed as SQLite takes them, one after another: here, and
// only here, each kind of value is given one of SQLite's storage classes,
// and only bindEncoded binds one. Updates written at once pack and bind in
// one go (bindValue); held updates keep their values packed until applied
// (PendingWrites).

// The most bytes encodeValue writes for `value`.
std::size_t encodedSize(const vb::Variant& value);
// Packs `value` at p, which has room for encodedSize(value); returns the end
// of what it wrote.
char* encodeValue(const vb::Variant& value, char* p, QStringEncoder& utf8);
// Binds the value packed at p to parameter i (1-based) and moves p past it;
// returns the SQLite result code. `lifetime` is SQLITE_STATIC when the
// packed bytes outlast the statement's use of them, else SQLITE_TRANSIENT.
int bindEncoded(sqlite3_stmt* stmt, int i, const char*& p, sqlite3_destructor_type lifetime);
// Binds a value to parameter i (1-based); returns the SQLite result code.
int bindValue(sqlite3_stmt* stmt, int i, const vb::Variant& value);

} // namespace dao::detail
