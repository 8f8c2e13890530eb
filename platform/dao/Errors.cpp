#include "platform/dao/Errors.h"

#include "platform/dao/ErrorCodes.h"

#include <QCoreApplication>

namespace dao::errors {

namespace {

// Named so that the translation tools find the texts below.
QString translate(const char* context, const char* text) {
    return QCoreApplication::translate(context, text);
}

} // namespace

vb::RuntimeError objectInvalid() {
    return {err::kObjectInvalid, translate("dao", "Object invalid or no longer set.")};
}

vb::RuntimeError itemNotFound(const QString& name) {
    return {err::kItemNotFound, translate("dao", "Item not found in this collection: '%1'.").arg(name)};
}

vb::RuntimeError workspaceNotFound(int index) {
    return {err::kItemNotFound, translate("dao", "Item not found in this collection: workspace %1.").arg(index)};
}

vb::RuntimeError tableNotFound(const QString& table, const QString& file) {
    return {err::kTableNotFound, translate("dao", "Cannot find the table or query '%1' in '%2'.").arg(table, file)};
}

vb::RuntimeError noCurrentRecord() {
    return {err::kNoCurrentRecord, translate("dao", "No current record.")};
}

vb::RuntimeError updateWithoutEdit() {
    return {err::kUpdateWithoutEdit, translate("dao", "Update or CancelUpdate without AddNew or Edit.")};
}

vb::RuntimeError invalidArgument() {
    return {err::kInvalidArgument, translate("dao", "Invalid argument.")};
}

vb::RuntimeError recordDeleted() {
    return {err::kRecordDeleted, translate("dao", "Record is deleted.")};
}

vb::RuntimeError notAQuery() {
    return {err::kInvalidOperation,
            translate("dao", "Invalid operation: only a query that reads rows can be opened as a recordset.")};
}

vb::RuntimeError criteriaTypeMismatch(const QString& field, const QString& table, const QString& number,
                                      const QString& file) {
    return {err::kCriteriaTypeMismatch,
            translate("dao", "Data type mismatch in criteria expression: the field '%1' of '%2' holds text but is compared "
               "with the number %3. The file '%4' does not have the expected layout.")
                .arg(field, table, number, file)};
}

vb::RuntimeError engineNotStarted(const QString& reason) {
    return {err::kDatabaseError, translate("dao", "The database engine could not be started: %1").arg(reason)};
}

vb::RuntimeError outOfMemory(const QString& file) {
    return {err::kOutOfMemory, translate("dao", "Out of memory while working on '%1'.").arg(file)};
}

vb::RuntimeError userInterrupt() {
    return {err::kUserInterrupt, vb::standardDescription(err::kUserInterrupt)};
}

vb::RuntimeError invalidPath(const QString& path) {
    return {err::kInvalidPath, translate("dao", "'%1' is not a valid path.").arg(path)};
}

vb::RuntimeError pathTooLong(const QString& path, qsizetype limit, qsizetype length) {
    return {err::kInvalidPath, translate("dao", "The path '%1' is too long: the database engine takes full paths of at most "
                                  "%2 bytes, this one has %3.")
                                   .arg(path)
                                   .arg(limit)
                                   .arg(length)};
}

vb::RuntimeError pathIsFolder(const QString& path) {
    return {err::kCannotOpenFile, translate("dao", "Cannot open '%1': it is a folder, not a database file.").arg(path)};
}

vb::RuntimeError fileNotFound(const QString& path) {
    return {err::kFileNotFound, translate("dao", "Could not find file '%1'.").arg(path)};
}

vb::RuntimeError cannotOpenFile(const QString& path) {
    return {err::kCannotOpenFile, translate("dao", "Cannot open the file '%1'.").arg(path)};
}

vb::RuntimeError plainSqlite(const QString& path) {
    return {err::kUnrecognizedFormat, translate("dao", "Unrecognized database format '%1'. It is a plain SQLite database, not "
                                         "an encrypted database of this program.")
                                          .arg(path)};
}

vb::RuntimeError unrecognizedFormat(const QString& path) {
    return {err::kUnrecognizedFormat, translate("dao", "Unrecognized database format '%1'.").arg(path)};
}

vb::RuntimeError invalidPassword(const QString& path) {
    return {err::kInvalidPassword, translate("dao", "Not a valid password for '%1', or the file is damaged.").arg(path)};
}

vb::RuntimeError corrupt(const QString& path) {
    return {err::kCorrupt, translate("dao", "Cannot open database '%1'. The file may be damaged.").arg(path)};
}

vb::RuntimeError definitionsTooLarge(const QString& path, qsizetype most) {
    return {err::kCorrupt, translate("dao", "Cannot read '%1': the definitions its query reaches are longer than %2 "
                                            "characters. The file may be damaged or made to harm.")
                               .arg(path)
                               .arg(most)};
}

vb::RuntimeError nestedTooDeeply(const QString& path, int most) {
    return {err::kCorrupt, translate("dao", "Cannot read '%1': its views are nested more than %2 deep. The "
                                            "file may be damaged or made to harm.")
                               .arg(path)
                               .arg(most)};
}

vb::RuntimeError valueTooLarge(const QString& path, int mostBytes) {
    return {err::kDatabaseError, translate("dao", "Cannot read '%1': a value in it is larger than %2 MiB. The "
                                                  "file may be damaged or made to harm.")
                                     .arg(path)
                                     .arg(mostBytes >> 20)};
}

vb::RuntimeError rowsTooLarge(const QString& path, qint64 mostBytes) {
    return {err::kOutOfMemory, translate("dao", "Out of memory while reading '%1': its rows would take more than %2 "
                                                "MiB. The file may be damaged or made to harm.")
                                   .arg(path)
                                   .arg(mostBytes >> 20)};
}

vb::RuntimeError accessFormatNotRead(const QString& path) {
    return {err::kUnrecognizedFormat, translate("dao", "Unrecognized database format '%1'. It is an Access 2007 "
                                                       "or later database (.accdb format), which this program does "
                                                       "not read; save it in the Access 2000-2003 format.")
                                          .arg(path)};
}

vb::RuntimeError jetQueryNotSupported(const QString& path) {
    return {err::kInvalidOperation, translate("dao", "Invalid operation: from the Access database '%1' only a plain "
                                                     "list of columns of one table can be read.")
                                        .arg(path)};
}

vb::RuntimeError readOnlyDatabase(const QString& path) {
    return {err::kReadOnly, translate("dao", "Cannot update. The database '%1' is opened read-only.").arg(path)};
}

vb::RuntimeError readOnlyObject(const QString& reason) {
    return {err::kReadOnly, translate("dao", "Cannot update. Database or object is read-only. %1").arg(reason)};
}

vb::RuntimeError readOnlyFile(const QString& path) {
    return {err::kReadOnly, translate("dao", "Cannot update. Database or object is read-only ('%1').").arg(path)};
}

vb::RuntimeError readOnlyFolder(const QString& path) {
    return {err::kReadOnly, translate("dao", "Cannot update '%1': its folder is read-only, so the journal an update needs "
                               "cannot be created there.")
                                .arg(path)};
}

vb::RuntimeError diskFull(const QString& path) {
    return {err::kDiskFull, translate("dao", "Not enough space on disk for '%1'.").arg(path)};
}

vb::RuntimeError diskError(const QString& path) {
    return {err::kDiskOrNetworkError, translate("dao", "Disk or network error on '%1'.").arg(path)};
}

vb::RuntimeError updateLocked(const QString& path) {
    return {err::kUpdateLocked,
            translate("dao", "Could not update; '%1' is currently locked by another user or process.").arg(path)};
}

vb::RuntimeError fileInUse(const QString& path) {
    return {err::kFileInUse, translate("dao", "Could not use '%1'; file already in use.").arg(path)};
}

vb::RuntimeError readLocked(const QString& path) {
    return {err::kLocked, translate("dao", "Could not read; '%1' is currently locked by another user or process.").arg(path)};
}

vb::RuntimeError conversionError(const QString& path) {
    return {err::kConversionError, translate("dao", "Data type conversion error in '%1'.").arg(path)};
}

vb::RuntimeError nullNotAllowed(const QString& field) {
    return {err::kNullNotAllowed, translate("dao", "The field '%1' cannot contain a Null value.").arg(field)};
}

vb::RuntimeError validationRule(const QString& fields) {
    return {err::kValidationRule,
            translate("dao", "One or more values are prohibited by the validation rule set for '%1'.").arg(fields)};
}

vb::RuntimeError duplicateValue(const QString& field) {
    return {err::kDuplicateValue,
            translate("dao", "The change would create a duplicate value in '%1', which must be unique.").arg(field)};
}

vb::RuntimeError relatedRecordRequired() {
    return {err::kRelatedRecordRequired, translate("dao", "The change needs a related record that does not exist.")};
}

vb::RuntimeError accessTargetTooOld(const QString& path) {
    return {err::kReadOnly, translate("dao", "Cannot update '%1': it is an Access 97 database, which this program only "
                                             "reads. Convert it to the Access 2000-2003 format first.")
                                .arg(path)};
}

vb::RuntimeError openInAccess(const QString& path, const QString& lockFile, const QStringList& computers) {
    return {err::kFileInUse, translate("dao", "Could not use '%1'; it is open in Access (lock file '%2', used by: %3). "
                                              "Close it in Access, or delete the lock file if no one has it open.")
                                 .arg(path, lockFile,
                                      computers.isEmpty() ? translate("dao", "no computer named") : computers.join(u", "))};
}

vb::RuntimeError targetInUse(const QString& path) {
    return {err::kFileInUse,
            translate("dao", "Could not use '%1'; another copy of this program is revising it.").arg(path)};
}

vb::RuntimeError targetChanged(const QString& path) {
    return {err::kWriteConflict, translate("dao", "'%1' was changed or opened by someone else during the run; it was "
                                                  "left as it was and none of this run's changes were saved.")
                                     .arg(path)};
}

vb::RuntimeError indexedFieldNotWritable(const QString& field, const QString& table) {
    return {err::kReadOnly, translate("dao", "Cannot update the field '%1' of '%2': it is indexed, and Access's "
                                             "Japanese sort order cannot be written. Remove the index on '%1' in Access "
                                             "first.")
                                .arg(field, table)};
}

vb::RuntimeError fieldNotUpdatable(const QString& field) {
    return {err::kFieldNotUpdatable,
            translate("dao", "Field '%1' cannot be updated: only 中学校区 is written to an Access database.").arg(field)};
}

vb::RuntimeError fieldTooSmall(const QString& field, const QString& key, int mostCharacters) {
    return {err::kFieldTooSmall, translate("dao", "The field '%1' is too small for the value of the record %2: it "
                                                  "holds at most %3 characters.")
                                     .arg(field, key)
                                     .arg(mostCharacters)};
}

vb::RuntimeError zeroLengthNotAllowed(const QString& field, const QString& key) {
    return {err::kZeroLengthNotAllowed,
            translate("dao", "The field '%1' cannot be a zero-length string (record %2).").arg(field, key)};
}

vb::RuntimeError textNotStorable(const QString& field, const QString& key) {
    return {err::kConversionError, translate("dao", "The value for the field '%1' of the record %2 starts with the "
                                                    "character U+FEFF, which Access would read wrongly.")
                                       .arg(field, key)};
}

vb::RuntimeError recordTooLarge(const QString& key, int mostBytes) {
    return {err::kRecordTooLarge,
            translate("dao", "Record %1 is too large: Access keeps at most %2 bytes a record.").arg(key).arg(mostBytes)};
}

vb::RuntimeError databaseError(const QString& path, const QString& message) {
    return {err::kDatabaseError, translate("dao", "Database error in '%1': %2").arg(path, message)};
}

} // namespace dao::errors
