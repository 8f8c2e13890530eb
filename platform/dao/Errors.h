#pragma once
// Every error the database layer raises, one function each: the number comes
// from ErrorCodes.h and the (translated) description is written here once.
// Functions return the error so that callers may throw it, keep it for later
// or hand it on; raising is the caller's `throw`.
#include "runtime/RuntimeError.h"

#include <QString>
#include <QStringList>

namespace dao::errors {

// Objects and cursors
vb::RuntimeError objectInvalid();
vb::RuntimeError itemNotFound(const QString& name);
vb::RuntimeError workspaceNotFound(int index);
vb::RuntimeError tableNotFound(const QString& table, const QString& file);
vb::RuntimeError noCurrentRecord();
vb::RuntimeError updateWithoutEdit();
vb::RuntimeError invalidArgument();
vb::RuntimeError recordDeleted();
vb::RuntimeError notAQuery();
vb::RuntimeError criteriaTypeMismatch(const QString& field, const QString& table, const QString& number,
                                      const QString& file);
vb::RuntimeError engineNotStarted(const QString& reason);
vb::RuntimeError outOfMemory(const QString& file);
vb::RuntimeError userInterrupt();

// Paths and files
vb::RuntimeError invalidPath(const QString& path);
vb::RuntimeError pathTooLong(const QString& path, qsizetype limit, qsizetype length);
vb::RuntimeError pathIsFolder(const QString& path);
vb::RuntimeError fileNotFound(const QString& path);
vb::RuntimeError cannotOpenFile(const QString& path);
vb::RuntimeError plainSqlite(const QString& path);
vb::RuntimeError unrecognizedFormat(const QString& path);
vb::RuntimeError invalidPassword(const QString& path);
vb::RuntimeError corrupt(const QString& path);
vb::RuntimeError nestedTooDeeply(const QString& path, int most);
vb::RuntimeError definitionsTooLarge(const QString& path, qsizetype most);
vb::RuntimeError valueTooLarge(const QString& path, int mostBytes);
vb::RuntimeError rowsTooLarge(const QString& path, qint64 mostBytes); // more rows than memory allows
vb::RuntimeError accessFormatNotRead(const QString& path);
vb::RuntimeError jetQueryNotSupported(const QString& path);

// Writing
vb::RuntimeError readOnlyDatabase(const QString& path);  // opened for reading only
vb::RuntimeError readOnlyObject(const QString& reason);  // a recordset that cannot be edited
vb::RuntimeError readOnlyFile(const QString& path);      // the file system refuses the write
vb::RuntimeError readOnlyFolder(const QString& path);    // no journal can be made beside the file
vb::RuntimeError diskFull(const QString& path);
vb::RuntimeError diskError(const QString& path);

// Other processes
vb::RuntimeError updateLocked(const QString& path);
vb::RuntimeError fileInUse(const QString& path);
vb::RuntimeError readLocked(const QString& path);

// Values refused by the table
vb::RuntimeError conversionError(const QString& path);
vb::RuntimeError nullNotAllowed(const QString& field);
vb::RuntimeError validationRule(const QString& fields);
vb::RuntimeError duplicateValue(const QString& field);
vb::RuntimeError relatedRecordRequired();

// Writing an Access (Jet 4) file
vb::RuntimeError accessTargetTooOld(const QString& path);  // Access 97 (Jet 3)
vb::RuntimeError openInAccess(const QString& path, const QString& lockFile, const QStringList& computers);
vb::RuntimeError targetInUse(const QString& path);         // another copy of this program revises it
vb::RuntimeError targetChanged(const QString& path);       // changed by someone else during the run
vb::RuntimeError indexedFieldNotWritable(const QString& field, const QString& table);
vb::RuntimeError fieldNotUpdatable(const QString& field);
vb::RuntimeError fieldTooSmall(const QString& field, const QString& key, int mostCharacters);
vb::RuntimeError zeroLengthNotAllowed(const QString& field, const QString& key);
vb::RuntimeError textNotStorable(const QString& field, const QString& key);
vb::RuntimeError recordTooLarge(const QString& key, int mostBytes);

// Anything else the engine reports, with its own message.
vb::RuntimeError databaseError(const QString& path, const QString& message);

} // namespace dao::errors
