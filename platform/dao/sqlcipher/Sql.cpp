#include "platform/dao/sqlcipher/Sql.h"

#include "platform/dao/sqlcipher/HandleGuard.h"

namespace dao::detail {

int Statements::tryPrepare(const QByteArray& sql, Statement& out, const char** tail) {
    sqlite3_stmt* raw = nullptr;
    const int rc =
        sqlite3_prepare_v2(guard_.handle(), sql.constData(), static_cast<int>(sql.size()), &raw, tail);
    out.reset(raw);
    return rc;
}

Statement Statements::prepare(const QByteArray& sql, Op op) {
    Statement statement;
    codes_.check(tryPrepare(sql, statement), op);
    return statement;
}

int Statements::tryCached(const QByteArray& sql, sqlite3_stmt*& out) {
    guard_.handle(); // a kept statement is the handle too: wait for a batch in flight
    auto it = statements_.find(sql);
    if (it == statements_.end()) {
        Statement statement;
        if (const int rc = tryPrepare(sql, statement); rc != SQLITE_OK)
            return rc;
        it = statements_.emplace(sql, std::move(statement)).first;
    }
    out = it->second.get();
    return SQLITE_OK;
}

sqlite3_stmt* Statements::cached(const QByteArray& sql, Op op) {
    sqlite3_stmt* stmt = nullptr;
    codes_.check(tryCached(sql, stmt), op);
    return stmt;
}

} // namespace dao::detail
