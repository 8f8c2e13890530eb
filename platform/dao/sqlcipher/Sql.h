#pragma once
// Running SQL on one open file, for the parts of the store that read it:
// prepared statements kept by their text, and one execution of a statement.
// Everything read through Sql sees the updates held so far.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/sqlcipher/ResultCodes.h"
#include "platform/dao/sqlcipher/Sqlite.h"
#include "runtime/Variant.h"

#include <QByteArray>
#include <QStringList>

#include <map>

namespace dao::detail {

class HandleGuard;

// The prepared statements of one handle, by their text.
class Statements {
public:
    Statements(HandleGuard& guard, const ResultCodes& codes) : guard_(guard), codes_(codes) {}
    // A kept statement; raises on failure.
    sqlite3_stmt* cached(const QByteArray& sql, Op op);
    // A kept statement, or the result code of a failure and no statement.
    int tryCached(const QByteArray& sql, sqlite3_stmt*& out);
    // A statement of its own for the caller.
    Statement prepare(const QByteArray& sql, Op op);
    // The statement, or the result code; `tail` receives the unread rest.
    int tryPrepare(const QByteArray& sql, Statement& out, const char** tail = nullptr);
    void clear() { statements_.clear(); }

private:
    HandleGuard& guard_;
    const ResultCodes& codes_;
    std::map<QByteArray, Statement> statements_;
};

class Sql {
public:
    virtual ~Sql() = default;
    virtual sqlite3_stmt* cached(const QByteArray& sql, Op op) = 0;
    virtual Statement prepare(const QByteArray& sql, Op op) = 0;
    virtual int tryPrepare(const QByteArray& sql, Statement& out, const char** tail = nullptr) = 0;
    virtual const ResultCodes& codes() const = 0;
};

// One execution of a statement; reset and its bindings cleared on
// destruction, so no read lock outlives the call.
class Query {
public:
    Query(const ResultCodes& codes, sqlite3_stmt* stmt, Op op, QStringList fields = {})
        : codes_(codes), stmt_(stmt), op_(op), fields_(std::move(fields)) {}
    Query(Sql& sql, const QByteArray& text, Op op) : Query(sql.codes(), sql.cached(text, op), op) {}
    ~Query() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(int index, const vb::Variant& value) {
        codes_.check(bindValue(stmt_, index, value), op_);
        return *this;
    }
    // true while there is a result row.
    bool next() { return codes_.check(sqlite3_step(stmt_), op_, fields_) == SQLITE_ROW; }
    vb::Variant value(int column) const { return columnValue(stmt_, column); }
    std::int64_t int64(int column) const { return sqlite3_column_int64(stmt_, column); }

private:
    const ResultCodes& codes_;
    sqlite3_stmt* stmt_;
    Op op_;
    QStringList fields_;
};

} // namespace dao::detail
