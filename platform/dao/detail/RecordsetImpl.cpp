#include "platform/dao/detail/RecordsetImpl.h"

#include "platform/dao/Dao.h"
#include "platform/dao/ErrorCodes.h"
#include "platform/dao/detail/SelectParser.h"

#include <QCoreApplication>

#include <algorithm>
#include <limits>

namespace dao::detail {

namespace {

constexpr int kReadAhead = 64;

[[noreturn]] void raiseItemNotFound(const QString& name) {
    vb::raise(err::kItemNotFound, QCoreApplication::translate("dao", "Item not found in this collection: '%1'.").arg(name));
}

[[noreturn]] void raiseTableNotFound(const QString& name, const QString& file) {
    vb::raise(err::kTableNotFound,
              QCoreApplication::translate("dao", "Cannot find the table or query '%1' in '%2'.").arg(name, file));
}

[[noreturn]] void raiseNoCurrentRecord() {
    vb::raise(err::kNoCurrentRecord, QCoreApplication::translate("dao", "No current record."));
}

[[noreturn]] void raiseUpdateWithoutEdit() {
    vb::raise(err::kUpdateWithoutEdit,
              QCoreApplication::translate("dao", "Update or CancelUpdate without AddNew or Edit."));
}

// Only statements that read may become snapshots: a recordset must never be
// a way to change the schema, the journal mode or any row.
bool startsAsQuery(const QString& sql) {
    const QString text = sql.trimmed();
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char('('))
        ++i;
    for (const char* keyword : {"SELECT", "WITH", "VALUES"}) {
        const QLatin1String word(keyword);
        if (text.mid(i, word.size()).compare(word, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

std::unique_ptr<RecordsetImpl> RecordsetImpl::open(std::shared_ptr<Connection> connection, const QString& sql) {
    std::unique_ptr<RecordsetImpl> recordset(new RecordsetImpl(std::move(connection)));
    if (!recordset->openKeyset(sql))
        recordset->openSnapshot(sql);
    return recordset;
}

bool RecordsetImpl::openKeyset(const QString& sql) {
    const std::optional<SimpleSelect> select = parseSimpleSelect(sql);
    if (!select) {
        readOnlyReason_ = QCoreApplication::translate("dao", "The query is not a plain selection from one table.");
        return false;
    }
    std::shared_ptr<const TableInfo> table = connection_->table(select->table);
    if (!table)
        raiseTableNotFound(select->table, connection_->path());
    if (table->isView || table->rowidName.isEmpty()) {
        readOnlyReason_ = QCoreApplication::translate("dao", "'%1' has no row identifiers, so its rows cannot be edited.")
                              .arg(table->name);
        return false;
    }

    if (select->columns.isEmpty()) {
        for (std::size_t i = 0; i < table->columns.size(); ++i)
            columns_.push_back(static_cast<int>(i));
    }
    for (const QString& name : select->columns) {
        const int index = table->columnIndex(name);
        if (index < 0)
            raiseItemNotFound(name);
        columns_.push_back(index);
    }
    for (int column : columns_)
        fieldNames_.push_back(table->columns[static_cast<std::size_t>(column)].name);

    const QByteArray& quotedTable = table->quotedName;
    const QByteArray rowid = table->rowidName.toUtf8();
    std::optional<vb::Variant> literal;
    const Column* key = nullptr;
    if (select->where) {
        const int index = table->columnIndex(select->where->column);
        if (index < 0)
            raiseItemNotFound(select->where->column);
        key = &table->columns[static_cast<std::size_t>(index)];
        literal = std::visit([](const auto& v) { return vb::Variant(v); }, select->where->literal);
        if (key->textAffinity && !literal->isText())
            vb::raise(err::kCriteriaTypeMismatch,
                      QCoreApplication::translate("dao", "Data type mismatch in criteria expression: the field '%1' "
                                                         "of '%2' holds text but is compared with the number %3. "
                                                         "The file '%4' does not have the expected layout.")
                          .arg(key->name, table->name, literal->toText(), connection_->path()));
    }

    // The literal keeps its own type, so the comparison is the one the
    // written query would make.
    if (literal && !literal->isText()) {
        const double number = literal->isInteger() ? static_cast<double>(std::get<std::int64_t>(literal->storage()))
                                                   : std::get<double>(literal->storage());
        const QByteArray confirmSql =
            "SELECT 1 FROM " + quotedTable + " WHERE " + rowid + " = ?1 AND " + key->quotedName + " = ?2";
        for (std::int64_t candidate : connection_->numericCandidates(*table, *key, number)) {
            Query confirm(*connection_, connection_->cached(confirmSql, Op::Read), Op::Read);
            confirm.bind(1, vb::Variant(candidate)).bind(2, *literal);
            if (confirm.next())
                keys_.push_back(candidate);
        }
    } else {
        QByteArray keySql = "SELECT " + rowid + " FROM " + quotedTable;
        if (key)
            keySql += " WHERE " + key->quotedName + " = ?1";
        Query keys(*connection_, connection_->cached(keySql + " ORDER BY " + rowid, Op::Read), Op::Read);
        if (literal)
            keys.bind(1, *literal);
        while (keys.next())
            keys_.push_back(keys.int64(0));
    }

    static const QByteArray inList = [] {
        QByteArray list = "?1";
        for (int i = 2; i <= kReadAhead; ++i)
            list += ",?" + QByteArray::number(i);
        return list;
    }();
    rowSql_ = "SELECT " + rowid;
    for (int column : columns_)
        rowSql_ += ", " + table->columns[static_cast<std::size_t>(column)].quotedName;
    rowSql_ += " FROM " + quotedTable + " WHERE " + rowid + " IN (" + inList + ") ORDER BY " + rowid;
    table_ = std::move(table);
    return true;
}

void RecordsetImpl::openSnapshot(const QString& sql) {
    if (!startsAsQuery(sql))
        vb::raise(err::kInvalidOperation,
                  QCoreApplication::translate("dao", "Invalid operation: only a query that reads rows can be opened "
                                                     "as a recordset."));
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(connection_->handle(), utf8.constData(), static_cast<int>(utf8.size()), &raw,
                                      &tail);
    const Statement statement(raw);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(connection_->handle()));
        const QString name = message.mid(message.indexOf(QLatin1Char(':')) + 1).trimmed();
        if (message.startsWith(QLatin1String("no such table:")))
            raiseTableNotFound(name, connection_->path());
        if (message.startsWith(QLatin1String("no such column:")))
            raiseItemNotFound(name);
        connection_->fail(rc, Op::Read);
    }
    const QString rest = QString::fromUtf8(tail).trimmed();
    if (!statement || !sqlite3_stmt_readonly(statement.get()) || (!rest.isEmpty() && rest != QLatin1String(";")))
        vb::raise(err::kInvalidOperation,
                  QCoreApplication::translate("dao", "Invalid operation: only a query that reads rows can be opened "
                                                     "as a recordset."));

    const int count = sqlite3_column_count(statement.get());
    for (int i = 0; i < count; ++i)
        fieldNames_.push_back(QString::fromUtf8(sqlite3_column_name(statement.get(), i)));
    Query query(*connection_, statement.get(), Op::Read);
    while (query.next()) {
        Row row;
        row.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            row.push_back(query.value(i));
        rows_.push_back(std::move(row));
    }
}

void RecordsetImpl::ensureOpen() const {
    if (closed_)
        vb::raise(err::kObjectInvalid, QCoreApplication::translate("dao", "Object invalid or no longer set."));
}

void RecordsetImpl::close() {
    closed_ = true;
    keys_ = {};
    rows_ = {};
    batch_ = {};
    editBuffer_.reset();
}

std::int32_t RecordsetImpl::recordCount() const {
    return static_cast<std::int32_t>(std::min<std::ptrdiff_t>(rowCount(), std::numeric_limits<std::int32_t>::max()));
}

void RecordsetImpl::moveTo(std::ptrdiff_t position) {
    // Moving abandons an edit in progress, as it always has.
    editBuffer_.reset();
    changed_.clear();
    position_ = position;
}

void RecordsetImpl::moveFirst() {
    if (rowCount() == 0)
        raiseNoCurrentRecord();
    moveTo(0);
}

void RecordsetImpl::moveLast() {
    if (rowCount() == 0)
        raiseNoCurrentRecord();
    moveTo(rowCount() - 1);
}

void RecordsetImpl::moveNext() {
    if (eof())
        raiseNoCurrentRecord();
    moveTo(position_ + 1);
}

void RecordsetImpl::movePrevious() {
    if (bof())
        raiseNoCurrentRecord();
    moveTo(position_ - 1);
}

int RecordsetImpl::fieldIndex(const QString& name) const {
    for (std::size_t i = 0; i < fieldNames_.size(); ++i) {
        if (fieldNames_[i].compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    raiseItemNotFound(name);
}

const RecordsetImpl::Row& RecordsetImpl::currentRow() {
    if (eof() || bof())
        raiseNoCurrentRecord();
    if (!table_)
        return rows_[static_cast<std::size_t>(position_)];
    const std::ptrdiff_t offset = position_ - batchStart_;
    if (batchWriteCount_ != connection_->writeCount() || offset < 0 ||
        offset >= static_cast<std::ptrdiff_t>(batch_.size()))
        readAhead();
    const std::optional<Row>& row = batch_[static_cast<std::size_t>(position_ - batchStart_)];
    if (!row)
        vb::raise(err::kRecordDeleted, QCoreApplication::translate("dao", "Record is deleted."));
    return *row;
}

void RecordsetImpl::readAhead() {
    // Read in the direction of travel: forwards from here, or backwards
    // when the cursor came from behind the batch.
    const bool backwards = position_ + 1 == batchStart_;
    batchStart_ = backwards ? std::max<std::ptrdiff_t>(0, position_ - kReadAhead + 1) : position_;
    const std::ptrdiff_t end = std::min<std::ptrdiff_t>(batchStart_ + kReadAhead, rowCount());
    batch_.assign(static_cast<std::size_t>(end - batchStart_), std::nullopt);
    batchWriteCount_ = connection_->writeCount();

    Query query(*connection_, connection_->cached(rowSql_, Op::Read), Op::Read);
    for (std::ptrdiff_t i = batchStart_; i < end; ++i)
        query.bind(static_cast<int>(i - batchStart_ + 1), vb::Variant(keys_[static_cast<std::size_t>(i)]));
    // Both lists ascend by rowid; a key without a row keeps its gap.
    std::ptrdiff_t i = batchStart_;
    while (query.next()) {
        const std::int64_t rowid = query.int64(0);
        while (i < end && keys_[static_cast<std::size_t>(i)] < rowid)
            ++i;
        if (i == end)
            break;
        Row row;
        row.reserve(fieldNames_.size());
        for (int f = 1; f <= fieldCount(); ++f)
            row.push_back(query.value(f));
        batch_[static_cast<std::size_t>(i - batchStart_)] = std::move(row);
    }
}

vb::Variant RecordsetImpl::value(int field) {
    if (editBuffer_)
        return (*editBuffer_)[static_cast<std::size_t>(field)];
    return currentRow()[static_cast<std::size_t>(field)];
}

void RecordsetImpl::setValue(int field, const vb::Variant& value) {
    if (!editBuffer_)
        raiseUpdateWithoutEdit();
    (*editBuffer_)[static_cast<std::size_t>(field)] = value;
    changed_[static_cast<std::size_t>(field)] = true;
}

void RecordsetImpl::edit() {
    if (!table_)
        vb::raise(err::kReadOnly, QCoreApplication::translate("dao", "Cannot update. Database or object is "
                                                                     "read-only. %1")
                                      .arg(readOnlyReason_));
    if (connection_->readOnly())
        vb::raise(err::kReadOnly, QCoreApplication::translate("dao", "Cannot update. The database '%1' is opened "
                                                                     "read-only.")
                                      .arg(connection_->path()));
    editBuffer_ = currentRow();
    changed_.assign(editBuffer_->size(), false);
}

void RecordsetImpl::cancelUpdate() {
    if (!editBuffer_)
        raiseUpdateWithoutEdit();
    editBuffer_.reset();
    changed_.clear();
}

void RecordsetImpl::update(int updateType) {
    if (updateType != dbUpdateRegular)
        vb::raise(err::kInvalidArgument, QCoreApplication::translate("dao", "Invalid argument."));
    if (!editBuffer_)
        raiseUpdateWithoutEdit();

    // Only the fields that were assigned are written; OR ABORT overrides any
    // ON CONFLICT ROLLBACK in the table, so a violation undoes this statement
    // alone and never the updates before it.
    QByteArray sql = "UPDATE OR ABORT " + table_->quotedName + " SET ";
    QStringList fields;
    std::vector<std::size_t> assigned;
    for (std::size_t i = 0; i < changed_.size(); ++i) {
        if (!changed_[i])
            continue;
        sql += (assigned.empty() ? "" : ", ") +
               table_->columns[static_cast<std::size_t>(columns_[i])].quotedName + " = ?" +
               QByteArray::number(static_cast<qsizetype>(assigned.size() + 1));
        fields << fieldNames_[i];
        assigned.push_back(i);
        connection_->aboutToWrite(*table_, table_->columns[static_cast<std::size_t>(columns_[i])]);
    }
    if (assigned.empty()) {
        cancelUpdate();
        return;
    }
    const int keyIndex = static_cast<int>(assigned.size() + 1);
    sql += " WHERE " + table_->rowidName.toUtf8() + " = ?" + QByteArray::number(keyIndex);

    connection_->beginWrite();
    {
        Query query(*connection_, connection_->cached(sql, Op::Write), Op::Write, fields);
        for (std::size_t i = 0; i < assigned.size(); ++i)
            query.bind(static_cast<int>(i + 1), (*editBuffer_)[assigned[i]]);
        query.bind(keyIndex, vb::Variant(keys_[static_cast<std::size_t>(position_)]));
        query.next();
    }
    if (sqlite3_changes(connection_->handle()) == 0)
        vb::raise(err::kRecordDeleted, QCoreApplication::translate("dao", "Record is deleted."));
    editBuffer_.reset();
    changed_.clear(); // the next read fetches the row back, as stored
}

} // namespace dao::detail
