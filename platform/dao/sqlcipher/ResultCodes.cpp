#include "platform/dao/sqlcipher/ResultCodes.h"

#include "platform/dao/Errors.h"
#include "platform/dao/FileProbe.h"
#include "platform/dao/sqlcipher/Defences.h"
#include "platform/dao/sqlcipher/HandleGuard.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include <unistd.h>

namespace dao::detail {

namespace fs = std::filesystem;

namespace {

QString fieldFromMessage(const QString& message) {
    // "NOT NULL constraint failed: table.column": the name, not the cause,
    // which the extended code gives.
    const qsizetype colon = message.lastIndexOf(QLatin1Char(':'));
    QString field = message.mid(colon + 1).trimmed();
    const qsizetype dot = field.indexOf(QLatin1Char('.'));
    return dot >= 0 ? field.mid(dot + 1) : field;
}

bool folderTakesNewFiles(const QString& path) {
    // The library retries a refused journal read-only, so its error number
    // tells of the retry; ask the folder itself.
    const fs::path folder = fs::path(path.toStdString()).parent_path();
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
}

bool oneOf(int number, std::initializer_list<int> numbers) {
    return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

} // namespace

vb::RuntimeError errorFor(const Failure& f, const QString& path, const QStringList& fields) {
    const int code = f.extended ? f.extended : f.rc;
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        if (f.op == Op::Write)
            return errors::updateLocked(path);
        if (f.op == Op::Open)
            return errors::fileInUse(path);
        return errors::readLocked(path);
    case SQLITE_FULL:
        return errors::diskFull(path);
    case SQLITE_IOERR:
        // A write refused for want of space (or past the file size limit)
        // is reported by the library as a plain I/O error.
        if (oneOf(f.systemError, {ENOSPC, EFBIG, EDQUOT}))
            return errors::diskFull(path);
        return errors::diskError(path);
    case SQLITE_CORRUPT:
        return errors::corrupt(path);
    case SQLITE_NOTADB: {
        // A whole number of cipher pages is an encrypted file keyed otherwise.
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(fs::path(path.toStdString()), ec);
        if (!ec && size > 0 && size % kCipherPageSize == 0)
            return errors::invalidPassword(path);
        return errors::unrecognizedFormat(path);
    }
    case SQLITE_READONLY:
        return errors::readOnlyFile(path);
    case SQLITE_CANTOPEN:
        // An update needs a journal beside the file; a folder that refuses
        // new files makes the database read-only, whatever the file allows.
        if (f.op == Op::Write && (oneOf(f.systemError, {EACCES, EPERM, EROFS}) || !folderTakesNewFiles(path)))
            return errors::readOnlyFolder(path);
        return errors::cannotOpenFile(path);
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return errors::cannotOpenFile(path);
    case SQLITE_TOOBIG:
        return errors::valueTooLarge(path, kLongestValue);
    case SQLITE_NOMEM:
        // Mostly the heap cap (MemoryBudget.h) met by what the file asks for.
        return errors::outOfMemory(path);
    case SQLITE_INTERRUPT:
        return errors::userInterrupt();
    case SQLITE_MISMATCH:
        return errors::conversionError(path);
    case SQLITE_CONSTRAINT:
        switch (code) {
        case SQLITE_CONSTRAINT_NOTNULL:
            return errors::nullNotAllowed(fieldFromMessage(f.message));
        case SQLITE_CONSTRAINT_CHECK:
            // The engine names only the rule or the table; the fields being
            // written are what the user can act on.
            return errors::validationRule(fields.isEmpty() ? fieldFromMessage(f.message)
                                                           : fields.join(QLatin1String(", ")));
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY:
            return errors::duplicateValue(fieldFromMessage(f.message));
        case SQLITE_CONSTRAINT_FOREIGNKEY:
            return errors::relatedRecordRequired();
        default:
            break;
        }
        break;
    case SQLITE_ERROR:
        // A query the caller wrote names a table or column that is not
        // there: no code says which, only the message.
        if (f.op == Op::Query) {
            const QString name = f.message.mid(f.message.indexOf(QLatin1Char(':')) + 1).trimmed();
            if (f.message.startsWith(QLatin1String("no such table:")))
                return errors::tableNotFound(name, path);
            if (f.message.startsWith(QLatin1String("no such column:")))
                return errors::itemNotFound(name);
        }
        break;
    default:
        break;
    }
    return errors::databaseError(path, f.message);
}

vb::RuntimeError ResultCodes::error(int rc, Op op, const QStringList& fields) const {
    Failure failure{rc, 0, op, 0, QString::fromUtf8(sqlite3_errstr(rc))};
    if (sqlite3* db = guard_.handle()) {
        failure.systemError = sqlite3_system_errno(db);
        if ((sqlite3_extended_errcode(db) & 0xff) == (rc & 0xff)) {
            failure.extended = sqlite3_extended_errcode(db);
            failure.message = QString::fromUtf8(sqlite3_errmsg(db));
        }
    }
    return errorFor(failure, path_, fields);
}

int ResultCodes::check(int rc, Op op, const QStringList& fields) const {
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
        fail(rc, op, fields);
    return rc;
}

} // namespace dao::detail
