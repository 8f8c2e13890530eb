#include "platform/dao/sqlcipher/Defences.h"

namespace dao::detail {

void Defences::install(sqlite3* db) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kLongestValue);
    sqlite3_set_authorizer(db, &Defences::authorize, this);
}

int Defences::authorize(void* self, int action, const char*, const char*, const char*, const char* inner) {
    auto& d = *static_cast<Defences*>(self);
    if (action != SQLITE_SELECT)
        return SQLITE_OK;
    // A selection of the statement's own text starts the count again; one
    // that a view brings in (named as `inner`) adds to it.
    if (!inner) {
        d.nested_ = 0;
        d.refused_ = false;
        return SQLITE_OK;
    }
    if (++d.nested_ <= kMostNestedSelects)
        return SQLITE_OK;
    d.refused_ = true;
    return SQLITE_DENY;
}

} // namespace dao::detail
