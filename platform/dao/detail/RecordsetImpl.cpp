#include "platform/dao/detail/RecordsetImpl.h"

#include "platform/dao/Dao.h"
#include "platform/dao/ErrorCodes.h"
#include "platform/dao/detail/SelectParser.h"

#include <QCoreApplication>

#include <algorithm>
#include <limits>
#include <map>

namespace dao::detail {

namespace {

constexpr int kReadAhead = 64; // rows read at once

vb::Variant literalValue(const SimpleSelect::Literal& literal) {
    return std::visit([](const auto& v) { return vb::Variant(v); }, literal);
}

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

const QByteArray& KeysetShape::updateSql(const std::vector<bool>& assigned) const {
    for (const auto& [fields, sql] : updates_) {
        if (fields == assigned)
            return sql;
    }
    // Only the fields that were assigned are written; OR ABORT overrides any
    // ON CONFLICT ROLLBACK in the table, so a violation undoes this statement
    // alone and never the updates before it.
    QByteArray sql = "UPDATE OR ABORT " + table->quotedName + " SET ";
    int parameter = 0;
    for (std::size_t i = 0; i < assigned.size(); ++i) {
        if (!assigned[i])
            continue;
        sql += parameter ? ", " : "";
        ++parameter;
        sql += table->columns[static_cast<std::size_t>(columns[i])].quotedName + " = ?" + QByteArray::number(parameter);
    }
    sql += " WHERE " + table->rowidName.toUtf8() + " = ?" + QByteArray::number(parameter + 1);
    return updates_.emplace_back(assigned, std::move(sql)).second;
}

// The editable query shapes one connection has seen, most recently used
// first. A shape with a condition is kept by its text up to the literal, so
// "... WHERE 棟番号=105" and "... WHERE 棟番号=106" share one.
class ShapeCache {
public:
    struct Hit {
        std::shared_ptr<const KeysetShape> shape;
        std::optional<SimpleSelect::Literal> literal;
    };

    std::optional<Hit> find(const QString& sql) {
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            std::optional<SimpleSelect::Literal> literal;
            if (it->literalStart < 0) {
                if (sql != it->text)
                    continue;
            } else {
                if (sql.size() <= it->literalStart || QStringView(sql).first(it->literalStart) != QStringView(it->text))
                    continue;
                literal = parseLiteralAt(sql, it->literalStart);
                if (!literal)
                    continue;
            }
            std::rotate(entries_.begin(), it, it + 1);
            return Hit{entries_.front().shape, std::move(literal)};
        }
        return std::nullopt;
    }

    void add(const QString& sql, const SimpleSelect& select, std::shared_ptr<const KeysetShape> shape) {
        constexpr std::size_t kShapes = 32;
        if (entries_.size() == kShapes)
            entries_.pop_back();
        const qsizetype start = select.where ? select.where->literalStart : -1;
        entries_.insert(entries_.begin(), Entry{start < 0 ? sql : sql.left(start), start, std::move(shape)});
    }

    // The layout of each table, worked out once.
    std::map<QString, TableLayout> layouts;

private:
    struct Entry {
        QString text;           // the whole query, or its text before the literal
        qsizetype literalStart; // -1 without a condition
        std::shared_ptr<const KeysetShape> shape;
    };
    std::vector<Entry> entries_;
};

namespace {

// Which columns of a table can be updated with nothing able to refuse the
// update: then it may be held and applied later. Anything that might refuse
// one (a constraint, an index, a trigger, enforced foreign keys) rules the
// column out; when in doubt, the whole table. And which columns an index or
// the primary key starts with.
TableLayout readLayout(Connection& connection, const TableInfo& table) {
    TableLayout layout{std::vector<HoldRule>(table.columns.size(), HoldRule::Always),
                       std::vector<bool>(table.columns.size(), false)};
    bool anyRefused = false; // something may refuse an update of any column
    {
        Query foreignKeys(connection, connection.cached("PRAGMA foreign_keys", Op::Read), Op::Read);
        anyRefused = anyRefused || (foreignKeys.next() && foreignKeys.int64(0) != 0);
    }
    {
        Query schema(connection,
                     connection.cached("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?1", Op::Read),
                     Op::Read);
        schema.bind(1, vb::Variant(table.name));
        const QString sql = schema.next() ? schema.value(0).toText().trimmed() : QString();
        anyRefused = anyRefused || !sql.startsWith(QLatin1String("CREATE TABLE"), Qt::CaseInsensitive) ||
                     sql.contains(QLatin1String("CHECK"), Qt::CaseInsensitive);
    }
    {
        Query triggers(connection,
                       connection.cached("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' "
                                         "AND tbl_name = ?1 COLLATE NOCASE",
                                         Op::Read),
                       Op::Read);
        triggers.bind(1, vb::Variant(table.name));
        anyRefused = anyRefused || !triggers.next() || triggers.int64(0) != 0;
    }
    {
        const Statement info = connection.prepare("PRAGMA table_info(" + table.quotedName + ")", Op::Read);
        Query columns(connection, info.get(), Op::Read);
        while (columns.next()) {
            const int index = table.columnIndex(columns.value(1).toText());
            if (index < 0) {
                anyRefused = true;
                continue;
            }
            const auto column = static_cast<std::size_t>(index);
            if (columns.int64(5) != 0) // part of the primary key
                layout.holdRules[column] = HoldRule::Never;
            else if (columns.int64(3) != 0)
                layout.holdRules[column] = HoldRule::UnlessNull;
            if (columns.int64(5) == 1) // the rowid itself, or the first of the key's own index
                layout.leadsIndex[column] = true;
        }
    }
    QStringList indexes;
    {
        const Statement list = connection.prepare("PRAGMA index_list(" + table.quotedName + ")", Op::Read);
        Query rows(connection, list.get(), Op::Read);
        while (rows.next()) {
            if (rows.int64(4) != 0) // partial: its condition may name any column
                anyRefused = true;
            indexes << rows.value(1).toText();
        }
    }
    for (const QString& index : indexes) {
        const Statement info = connection.prepare("PRAGMA index_xinfo(" + quoteIdentifier(index) + ")", Op::Read);
        Query rows(connection, info.get(), Op::Read);
        while (rows.next()) {
            const std::int64_t cid = rows.int64(1);
            if (cid == -2) // an expression, which may name any column
                anyRefused = true;
            if (cid < 0)
                continue; // the rowid, or that expression
            const int column = table.columnIndex(rows.value(2).toText());
            if (column < 0) {
                anyRefused = true;
                continue;
            }
            layout.holdRules[static_cast<std::size_t>(column)] = HoldRule::Never;
            if (rows.int64(0) == 0)
                layout.leadsIndex[static_cast<std::size_t>(column)] = true;
        }
    }
    if (anyRefused)
        std::fill(layout.holdRules.begin(), layout.holdRules.end(), HoldRule::Never);
    return layout;
}

} // namespace

std::unique_ptr<RecordsetImpl> RecordsetImpl::open(std::shared_ptr<Connection> connection, const QString& sql) {
    // Another connection's commit since our last look may have changed the
    // rows or the schema; while we write, nobody else can.
    if (!connection->writing())
        connection->observeOthers();
    std::shared_ptr<ShapeCache>& cache = connection->shapeCache();
    if (!cache)
        cache = std::make_shared<ShapeCache>();
    std::unique_ptr<RecordsetImpl> recordset(new RecordsetImpl(std::move(connection)));
    if (std::optional<ShapeCache::Hit> hit = cache->find(sql)) {
        recordset->openKeyset(std::move(hit->shape), hit->literal);
        return recordset;
    }

    const std::optional<SimpleSelect> select = parseSimpleSelect(sql);
    if (!select) {
        recordset->readOnlyReason_ =
            QCoreApplication::translate("dao", "The query is not a plain selection from one table.");
        recordset->openSnapshot(sql);
        return recordset;
    }
    Connection& c = recordset->connection();
    std::shared_ptr<const TableInfo> table = c.table(select->table);
    if (!table)
        raiseTableNotFound(select->table, c.path());
    if (table->isView || table->rowidName.isEmpty()) {
        recordset->readOnlyReason_ =
            QCoreApplication::translate("dao", "'%1' has no row identifiers, so its rows cannot be edited.")
                .arg(table->name);
        recordset->openSnapshot(sql);
        return recordset;
    }

    auto shape = std::make_shared<KeysetShape>();
    if (select->columns.isEmpty()) {
        for (std::size_t i = 0; i < table->columns.size(); ++i)
            shape->columns.push_back(static_cast<int>(i));
    }
    for (const QString& name : select->columns) {
        const int index = table->columnIndex(name);
        if (index < 0)
            raiseItemNotFound(name);
        shape->columns.push_back(index);
    }
    for (int column : shape->columns)
        shape->fieldNames.push_back(table->columns[static_cast<std::size_t>(column)].name);

    const QByteArray& quotedTable = table->quotedName;
    const QByteArray rowid = table->rowidName.toUtf8();
    shape->keysSql = "SELECT " + rowid + " FROM " + quotedTable;
    std::size_t keyColumn = 0;
    if (select->where) {
        const int index = table->columnIndex(select->where->column);
        if (index < 0)
            raiseItemNotFound(select->where->column);
        shape->key = &table->columns[static_cast<std::size_t>(index)];
        keyColumn = static_cast<std::size_t>(index);
        shape->keysSql += " WHERE " + shape->key->quotedName + " = ?1";
    }
    shape->keysSql += " ORDER BY " + rowid;

    static const QByteArray inList = [] {
        QByteArray list = "?1";
        for (int i = 2; i <= kReadAhead; ++i)
            list += ",?" + QByteArray::number(i);
        return list;
    }();
    QByteArray rows = "SELECT " + rowid;
    for (int column : shape->columns)
        rows += ", " + table->columns[static_cast<std::size_t>(column)].quotedName;
    rows += " FROM " + quotedTable + " WHERE " + rowid;
    shape->rowsByListSql = rows + " IN (" + inList + ") ORDER BY " + rowid;
    shape->rowsByRangeSql = rows + " BETWEEN ?1 AND ?2 ORDER BY " + rowid;

    auto layout = cache->layouts.find(table->name);
    if (layout == cache->layouts.end())
        layout = cache->layouts.emplace(table->name, readLayout(c, *table)).first;
    shape->holdRules = layout->second.holdRules;
    if (shape->key)
        shape->keyIndexed = layout->second.leadsIndex[keyColumn];
    shape->table = std::move(table);

    std::optional<SimpleSelect::Literal> literal;
    if (select->where)
        literal = select->where->literal;
    cache->add(sql, *select, shape);
    recordset->openKeyset(std::move(shape), literal);
    return recordset;
}

void RecordsetImpl::openKeyset(std::shared_ptr<const KeysetShape> shape,
                               const std::optional<SimpleSelect::Literal>& literal) {
    const KeysetShape& s = *shape;
    shape_ = std::move(shape);
    const bool numeric = literal && !std::holds_alternative<QString>(*literal);
    if (s.key && s.key->textAffinity && numeric) {
        const QString number = literalValue(*literal).toText();
        vb::raise(err::kCriteriaTypeMismatch,
                  QCoreApplication::translate("dao", "Data type mismatch in criteria expression: the field '%1' "
                                                     "of '%2' holds text but is compared with the number %3. "
                                                     "The file '%4' does not have the expected layout.")
                      .arg(s.key->name, s.table->name, number, connection_->path()));
    }

    keysEpoch_ = connection_->epoch();

    if (numeric) {
        const std::variant<std::int64_t, double> number =
            std::holds_alternative<double>(*literal) ? std::variant<std::int64_t, double>(std::get<double>(*literal))
                                                     : std::get<std::int64_t>(*literal);
        if (std::optional<std::vector<std::int64_t>> rows = connection_->lookupRows(*s.table, *s.key, s.keyIndexed, number)) {
            keys_ = std::move(*rows);
            return;
        }
    }
    // The literal keeps its own type, so the comparison is the one the
    // written query makes.
    Query keys(*connection_, connection_->cached(s.keysSql, Op::Read), Op::Read);
    if (literal)
        keys.bind(1, literalValue(*literal));
    while (keys.next())
        keys_.push_back(keys.int64(0));
}

void RecordsetImpl::openSnapshot(const QString& sql) {
    if (!startsAsQuery(sql))
        vb::raise(err::kInvalidOperation,
                  QCoreApplication::translate("dao", "Invalid operation: only a query that reads rows can be opened "
                                                     "as a recordset."));
    connection_->flushHeld(); // the query must see the held updates
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
    editing_ = false;
    edits_ = {};
}

std::int32_t RecordsetImpl::recordCount() const {
    return static_cast<std::int32_t>(std::min<std::ptrdiff_t>(rowCount(), std::numeric_limits<std::int32_t>::max()));
}

void RecordsetImpl::moveTo(std::ptrdiff_t position) {
    // Moving abandons an edit in progress, as it always has.
    editing_ = false;
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
    const std::vector<QString>& fields = names();
    // The names are mostly written as the schema spells them.
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i] == name)
            return static_cast<int>(i);
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    raiseItemNotFound(name);
}

const RecordsetImpl::Row& RecordsetImpl::currentRow() {
    if (eof() || bof())
        raiseNoCurrentRecord();
    if (!shape_)
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
    const std::ptrdiff_t start = backwards ? std::max<std::ptrdiff_t>(0, position_ - kReadAhead + 1) : position_;
    const std::ptrdiff_t end = std::min<std::ptrdiff_t>(start + kReadAhead, rowCount());
    // Rows that lie close together are read as one range of rowids: one
    // descent into the table, then its pages in order. Scattered ones are
    // read by their listed rowids.
    const auto key = [this](std::ptrdiff_t i) { return keys_[static_cast<std::size_t>(i)]; };
    const bool range = key(end - 1) - key(start) < 2 * (end - start);
    batchStart_ = start;
    batch_.assign(static_cast<std::size_t>(end - start), std::nullopt);
    batchWriteCount_ = connection_->writeCount();

    Query query(*connection_, connection_->cached(range ? shape_->rowsByRangeSql : shape_->rowsByListSql, Op::Read),
                Op::Read);
    if (range) {
        query.bind(1, vb::Variant(key(start))).bind(2, vb::Variant(key(end - 1)));
    } else {
        for (std::ptrdiff_t i = start; i < end; ++i)
            query.bind(static_cast<int>(i - start + 1), vb::Variant(key(i)));
    }
    // Both lists ascend by rowid; a key without a row keeps its gap, and a
    // row in the range that is not in the keyset is passed over.
    std::ptrdiff_t i = start;
    while (query.next()) {
        const std::int64_t rowid = query.int64(0);
        while (i < end && key(i) < rowid)
            ++i;
        if (i == end)
            break;
        if (key(i) != rowid)
            continue;
        Row row;
        row.reserve(static_cast<std::size_t>(fieldCount()));
        for (int f = 1; f <= fieldCount(); ++f)
            row.push_back(query.value(f));
        batch_[static_cast<std::size_t>(i - start)] = std::move(row);
    }
}

vb::Variant RecordsetImpl::value(int field) {
    if (editing_ && changed_[static_cast<std::size_t>(field)])
        return edits_[static_cast<std::size_t>(field)];
    return currentRow()[static_cast<std::size_t>(field)];
}

void RecordsetImpl::setValue(int field, const vb::Variant& value) {
    if (!editing_)
        raiseUpdateWithoutEdit();
    edits_[static_cast<std::size_t>(field)] = value;
    changed_[static_cast<std::size_t>(field)] = true;
}

void RecordsetImpl::edit() {
    if (!shape_)
        vb::raise(err::kReadOnly, QCoreApplication::translate("dao", "Cannot update. Database or object is "
                                                                     "read-only. %1")
                                      .arg(readOnlyReason_));
    if (connection_->readOnly())
        vb::raise(err::kReadOnly, QCoreApplication::translate("dao", "Cannot update. The database '%1' is opened "
                                                                     "read-only.")
                                      .arg(connection_->path()));
    if (eof() || bof())
        raiseNoCurrentRecord();
    // While we write and nobody else has committed since the keys were read,
    // the row is there; otherwise reading it tells whether it has gone.
    if (!connection_->writing() || keysEpoch_ != connection_->epoch())
        currentRow();
    editing_ = true;
    edits_.assign(static_cast<std::size_t>(fieldCount()), vb::Variant());
    changed_.assign(static_cast<std::size_t>(fieldCount()), false);
}

void RecordsetImpl::cancelUpdate() {
    if (!editing_)
        raiseUpdateWithoutEdit();
    editing_ = false;
}

void RecordsetImpl::update(int updateType) {
    if (updateType != dbUpdateRegular)
        vb::raise(err::kInvalidArgument, QCoreApplication::translate("dao", "Invalid argument."));
    if (!editing_)
        raiseUpdateWithoutEdit();
    if (std::find(changed_.begin(), changed_.end(), true) == changed_.end()) {
        cancelUpdate();
        return;
    }
    const KeysetShape& s = *shape_;
    const QByteArray& sql = s.updateSql(changed_);
    std::vector<const vb::Variant*> values;
    bool holdable = true;
    for (std::size_t i = 0; i < changed_.size(); ++i) {
        if (!changed_[i])
            continue;
        const auto column = static_cast<std::size_t>(s.columns[i]);
        values.push_back(&edits_[i]);
        const HoldRule rule = s.holdRules[column];
        holdable = holdable && (rule == HoldRule::Always || (rule == HoldRule::UnlessNull && !edits_[i].isNull()));
        connection_->aboutToWrite(*s.table, s.table->columns[column]);
    }

    connection_->beginWrite();
    const std::int64_t rowid = keys_[static_cast<std::size_t>(position_)];
    // Held only while the row is known to be there: then nothing can make
    // the update fail later that would not have made it fail now.
    if (holdable && connection_->mayHold() && keysEpoch_ == connection_->epoch()) {
        connection_->hold(sql, rowid, values);
    } else {
        QStringList fields;
        for (std::size_t i = 0; i < changed_.size(); ++i) {
            if (changed_[i])
                fields << fieldName(static_cast<int>(i));
        }
        {
            Query query(*connection_, connection_->cached(sql, Op::Write), Op::Write, fields);
            for (std::size_t i = 0; i < values.size(); ++i)
                query.bind(static_cast<int>(i + 1), *values[i]);
            query.bind(static_cast<int>(values.size() + 1), vb::Variant(rowid));
            query.next();
        }
        if (sqlite3_changes(connection_->handle()) == 0)
            vb::raise(err::kRecordDeleted, QCoreApplication::translate("dao", "Record is deleted."));
        connection_->wroteDirectly();
    }
    editing_ = false; // the next read fetches the row back, as stored
}

} // namespace dao::detail
