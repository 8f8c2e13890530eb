#pragma once
// Which recordset a query gets on an SQLCipher file: a plain selection from
// one table with row identifiers gets an editable KeysetCursor (its parsed
// shape kept for the next query of the same shape); any other reading query
// a read-only snapshot; anything else is refused.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/Cursor.h"

#include <QString>

#include <memory>

namespace dao::detail {

class SqlCipherStore;

// Inside SqlCipherStore::call().
std::unique_ptr<Cursor> openSqlCipherRecordset(const std::shared_ptr<SqlCipherStore>& store, const QString& sql);

} // namespace dao::detail
