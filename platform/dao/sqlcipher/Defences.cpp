#include "platform/dao/sqlcipher/Defences.h"

namespace dao::detail {

void installDefences(sqlite3* db) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kLongestValue);
}

} // namespace dao::detail
