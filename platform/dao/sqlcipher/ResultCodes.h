#pragma once
// The one table from an SQLite failure (result code, extended code, what
// was being done, the OS error behind it) to the error a user sees.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "runtime/RuntimeError.h"

#include <QString>
#include <QStringList>

namespace dao::detail {

class HandleGuard;

// What a statement was doing when it failed; decides between the "could not
// open", "could not read" and "could not update" flavours of an error.
// Query is the preparing of a query the caller wrote.
enum class Op { Open, Read, Write, Query };

struct Failure {
    int rc = 0;       // the result code returned
    int extended = 0; // the handle's extended code, when it belongs to rc
    Op op = Op::Read;
    int systemError = 0; // errno of the last failed system call
    QString message;     // the handle's message, or the result code's
};

vb::RuntimeError errorFor(const Failure& failure, const QString& path, const QStringList& fields = {});

// The failures of one open file, read from its handle.
class ResultCodes {
public:
    ResultCodes(HandleGuard& guard, QString path) : guard_(guard), path_(std::move(path)) {}
    // For the holder of the guard's lock.
    vb::RuntimeError error(int rc, Op op, const QStringList& fields = {}) const;
    [[noreturn]] void fail(int rc, Op op, const QStringList& fields = {}) const { throw error(rc, op, fields); }
    int check(int rc, Op op, const QStringList& fields = {}) const;
    const QString& path() const { return path_; }

private:
    HandleGuard& guard_;
    QString path_;
};

} // namespace dao::detail
