#include "platform/dao/sqlcipher/Schema.h"

#include "platform/dao/Errors.h"
#include "platform/dao/Names.h"
#include "platform/dao/sqlcipher/ViewNesting.h"

#include <algorithm>

namespace dao::detail {

int TableInfo::columnIndex(const QString& column) const {
    const std::optional<std::size_t> i = findName(columns, column, &Column::name);
    return i ? static_cast<int>(*i) : -1;
}

QByteArray quoteIdentifier(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return '"' + quoted.toUtf8() + '"';
}

const KeysetShape::Update& KeysetShape::update(const std::vector<bool>& assigned) const {
    for (const auto& [fields, made] : updates_) {
        if (fields == assigned)
            return made;
    }
    // Only the fields that were assigned are written; OR ABORT overrides any
    // ON CONFLICT ROLLBACK in the table, so a violation undoes this statement
    // alone and never the updates before it.
    QByteArray sql = "UPDATE OR ABORT " + table->quotedName + " SET ";
    QStringList names;
    int parameter = 0;
    for (std::size_t i = 0; i < assigned.size(); ++i) {
        if (!assigned[i])
            continue;
        names << fieldNames[i];
        sql += parameter ? ", " : "";
        ++parameter;
        sql += table->columns[static_cast<std::size_t>(columns[i])].quotedName + " = ?" + QByteArray::number(parameter);
    }
    sql += " WHERE " + table->rowidName.toUtf8() + " = ?" + QByteArray::number(parameter + 1);
    return updates_.emplace_back(assigned, Update{std::move(sql), std::move(names)}).second;
}

namespace {

// Which columns of a table can be updated with nothing able to refuse the
// update: then it may be held and applied later. Anything that might refuse
// one (a constraint, an index, a trigger, enforced foreign keys) rules the
// column out; when in doubt, the whole table. And which columns an index or
// the primary key starts with.
void readLayout(Sql& sql, TableInfo& table) {
    const ResultCodes& codes = sql.codes();
    table.holdRules.assign(table.columns.size(), HoldRule::Always);
    table.leadsIndex.assign(table.columns.size(), false);
    bool anyRefused = false; // something may refuse an update of any column
    {
        Query foreignKeys(sql, "PRAGMA foreign_keys", Op::Read);
        anyRefused = anyRefused || (foreignKeys.next() && foreignKeys.int64(0) != 0);
    }
    {
        Query schema(sql, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?1", Op::Read);
        schema.bind(1, vb::Variant(table.name));
        const QString text = schema.next() ? schema.value(0).toText().trimmed() : QString();
        anyRefused = anyRefused || !text.startsWith(QLatin1String("CREATE TABLE"), Qt::CaseInsensitive) ||
                     text.contains(QLatin1String("CHECK"), Qt::CaseInsensitive);
    }
    {
        Query triggers(sql, "SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ?1 COLLATE NOCASE",
                       Op::Read);
        triggers.bind(1, vb::Variant(table.name));
        anyRefused = anyRefused || !triggers.next() || triggers.int64(0) != 0;
    }
    {
        const Statement info = sql.prepare("PRAGMA table_info(" + table.quotedName + ")", Op::Read);
        Query columns(codes, info.get(), Op::Read);
        while (columns.next()) {
            const int index = table.columnIndex(columns.value(1).toText());
            if (index < 0) {
                anyRefused = true;
                continue;
            }
            const auto column = static_cast<std::size_t>(index);
            if (columns.int64(5) != 0) // part of the primary key
                table.holdRules[column] = HoldRule::Never;
            else if (columns.int64(3) != 0)
                table.holdRules[column] = HoldRule::UnlessNull;
            if (columns.int64(5) == 1) // the rowid itself, or the first of the key's own index
                table.leadsIndex[column] = true;
        }
    }
    QStringList indexes;
    {
        const Statement list = sql.prepare("PRAGMA index_list(" + table.quotedName + ")", Op::Read);
        Query rows(codes, list.get(), Op::Read);
        while (rows.next()) {
            if (rows.int64(4) != 0) // partial: its condition may name any column
                anyRefused = true;
            indexes << rows.value(1).toText();
        }
    }
    for (const QString& index : indexes) {
        const Statement info = sql.prepare("PRAGMA index_xinfo(" + quoteIdentifier(index) + ")", Op::Read);
        Query rows(codes, info.get(), Op::Read);
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
            table.holdRules[static_cast<std::size_t>(column)] = HoldRule::Never;
            if (rows.int64(0) == 0)
                table.leadsIndex[static_cast<std::size_t>(column)] = true;
        }
    }
    if (anyRefused)
        std::fill(table.holdRules.begin(), table.holdRules.end(), HoldRule::Never);
}

} // namespace

std::shared_ptr<const TableInfo> Schema::table(Sql& sql, const QString& name) {
    if (auto it = tables_.find(name); it != tables_.end())
        return it->second;

    auto info = std::make_shared<TableInfo>();
    {
        Query lookup(sql,
                     "SELECT type, name FROM sqlite_master WHERE type IN ('table', 'view') AND name = ?1 "
                     "COLLATE NOCASE",
                     Op::Read);
        lookup.bind(1, vb::Variant(name));
        if (!lookup.next())
            return nullptr;
        info->isView = lookup.value(0).toText() == QLatin1String("view");
        info->name = lookup.value(1).toText();
    }
    if (info->isView)
        checkNesting(sql, {info->name.toLower()});
    info->quotedName = quoteIdentifier(info->name);
    const QByteArray& quoted = info->quotedName;
    {
        const Statement shape = sql.prepare("SELECT * FROM " + quoted, Op::Read);
        const int count = sqlite3_column_count(shape.get());
        for (int i = 0; i < count; ++i) {
            // SQLite's affinity rules: INT first, then CHAR, CLOB or TEXT.
            const QString type = QString::fromUtf8(sqlite3_column_decltype(shape.get(), i)).toUpper();
            const bool text = !type.contains(QLatin1String("INT")) &&
                              (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB")) ||
                               type.contains(QLatin1String("TEXT")));
            const QString column = QString::fromUtf8(sqlite3_column_name(shape.get(), i));
            info->columns.push_back({column, quoteIdentifier(column), text});
        }
    }
    if (!info->isView) {
        // A column may shadow one of the rowid's names; a WITHOUT ROWID table
        // has none, and then preparing the probe fails.
        for (const char* alias : {"rowid", "_rowid_", "oid"}) {
            if (info->columnIndex(QLatin1String(alias)) >= 0)
                continue;
            Statement probe;
            if (sql.tryPrepare(QByteArray("SELECT ") + alias + " FROM " + quoted, probe) == SQLITE_OK)
                info->rowidName = QLatin1String(alias);
            break;
        }
    }
    if (!info->isView && !info->rowidName.isEmpty())
        readLayout(sql, *info);
    tables_.emplace(name, info);
    return info;
}

std::optional<Schema::ShapeHit> Schema::findShape(const QString& sql) {
    for (auto it = shapes_.begin(); it != shapes_.end(); ++it) {
        std::optional<SimpleSelect::Literal> literal;
        if (!matchesShape(sql, it->text, it->literalStart, literal))
            continue;
        std::rotate(shapes_.begin(), it, it + 1);
        return ShapeHit{shapes_.front().shape, std::move(literal)};
    }
    return std::nullopt;
}

void Schema::addShape(const QString& sql, const SimpleSelect& select, std::shared_ptr<const KeysetShape> shape) {
    constexpr std::size_t kShapes = 32;
    if (shapes_.size() == kShapes)
        shapes_.pop_back();
    const qsizetype start = select.where ? select.where->literalStart : -1;
    shapes_.insert(shapes_.begin(), ShapeEntry{start < 0 ? sql : sql.left(start), start, std::move(shape)});
}

void Schema::checkNesting(Sql& sql, const QStringList& names) {
    if (!views_) {
        views_.emplace();
        definitions_.emplace();
        Query objects(sql, "SELECT name, sql, type = 'view' FROM sqlite_master WHERE type IN ('view', 'table')",
                      Op::Read);
        while (objects.next()) {
            const QString name = objects.value(0).toText().toLower();
            const QString text = objects.value(1).toText();
            if (objects.int64(2) != 0)
                views_->emplace(name, text);
            definitions_->emplace(name, text);
        }
    }
    if (!views_->empty() && viewNesting(*views_, names, kMostNestedViews) > kMostNestedViews)
        throw errors::nestedTooDeeply(sql.codes().path(), kMostNestedViews);
    if (definitionsReached(*definitions_, names, kLargestDefinitions) > kLargestDefinitions)
        throw errors::definitionsTooLarge(sql.codes().path(), kLargestDefinitions);
}

void Schema::invalidate() {
    views_.reset();
    definitions_.reset();
    tables_.clear();
    shapes_.clear();
}

} // namespace dao::detail
