#include "platform/dao/sqlcipher/Recordsets.h"

#include "platform/dao/Errors.h"
#include "platform/dao/SelectParser.h"
#include "platform/dao/sqlcipher/KeysetCursor.h"
#include "platform/dao/sqlcipher/MemoryBudget.h"
#include "platform/dao/sqlcipher/SqlCipherStore.h"
#include "platform/dao/sqlcipher/ViewNesting.h"

#include <QCoreApplication>

namespace dao::detail {

namespace {

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

std::unique_ptr<Cursor> openSnapshot(SqlCipherStore& store, const QString& sql, QString readOnlyReason) {
    if (!startsAsQuery(sql))
        throw errors::notAQuery();
    store.schema().checkNesting(store.sql(), namesIn(sql));
    const QByteArray utf8 = sql.toUtf8();
    Statement statement;
    const char* tail = nullptr;
    const int rc = store.sql().tryPrepare(utf8, statement, &tail);
    const ResultCodes& codes = store.sql().codes();
    if (rc != SQLITE_OK)
        codes.fail(rc, Op::Query);
    const QString rest = QString::fromUtf8(tail).trimmed();
    if (!statement || !sqlite3_stmt_readonly(statement.get()) || (!rest.isEmpty() && rest != QLatin1String(";")))
        throw errors::notAQuery();

    const int count = sqlite3_column_count(statement.get());
    std::vector<QString> names;
    for (int i = 0; i < count; ++i)
        names.push_back(QString::fromUtf8(sqlite3_column_name(statement.get(), i)));
    // Every row is held, so a file whose rows would not fit ends here, with
    // the file named, rather than in memory running out.
    std::vector<SnapshotCursor::Row> rows;
    std::size_t held = 0;
    Query query(codes, statement.get(), Op::Read);
    while (query.next())
        rows.push_back(readRow(query, 0, count, held, kSnapshotBytes, store.path()));
    return std::make_unique<SnapshotCursor>(std::move(names), std::move(rows), std::move(readOnlyReason));
}

// The shape of a plain selection from `table`.
std::shared_ptr<KeysetShape> makeShape(const SimpleSelect& select, std::shared_ptr<const TableInfo> table) {
    auto shape = std::make_shared<KeysetShape>();
    if (select.columns.isEmpty()) {
        for (std::size_t i = 0; i < table->columns.size(); ++i)
            shape->columns.push_back(static_cast<int>(i));
    }
    for (const QString& name : select.columns) {
        const int index = table->columnIndex(name);
        if (index < 0)
            throw errors::itemNotFound(name);
        shape->columns.push_back(index);
    }
    for (int column : shape->columns)
        shape->fieldNames.push_back(table->columns[static_cast<std::size_t>(column)].name);

    const QByteArray& quotedTable = table->quotedName;
    const QByteArray rowid = table->rowidName.toUtf8();
    shape->keysSql = "SELECT " + rowid + " FROM " + quotedTable;
    if (select.where) {
        const int index = table->columnIndex(select.where->column);
        if (index < 0)
            throw errors::itemNotFound(select.where->column);
        shape->key = &table->columns[static_cast<std::size_t>(index)];
        shape->keyIndexed = table->leadsIndex[static_cast<std::size_t>(index)];
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
    shape->table = std::move(table);
    return shape;
}

} // namespace

std::unique_ptr<Cursor> openSqlCipherRecordset(const std::shared_ptr<SqlCipherStore>& store, const QString& sql) {
    Schema& schema = store->schema();
    if (std::optional<Schema::ShapeHit> hit = schema.findShape(sql))
        return std::make_unique<KeysetCursor>(store, std::move(hit->shape), hit->literal);

    const std::optional<SimpleSelect> select = parseSimpleSelect(sql);
    if (!select)
        return openSnapshot(*store, sql,
                            QCoreApplication::translate("dao", "The query is not a plain selection from one table."));
    std::shared_ptr<const TableInfo> table = schema.table(store->sql(), select->table);
    if (!table)
        throw errors::tableNotFound(select->table, store->path());
    if (table->isView || table->rowidName.isEmpty())
        return openSnapshot(*store, sql,
                            QCoreApplication::translate("dao", "'%1' has no row identifiers, so its rows cannot be "
                                                               "edited.")
                                .arg(table->name));

    std::shared_ptr<const KeysetShape> shape = makeShape(*select, std::move(table));
    schema.addShape(sql, *select, shape);
    std::optional<SimpleSelect::Literal> literal;
    if (select->where)
        literal = select->where->literal;
    return std::make_unique<KeysetCursor>(store, std::move(shape), literal);
}

} // namespace dao::detail
