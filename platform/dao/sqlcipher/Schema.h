#pragma once
// What one file's schema says, read once and kept until the schema changes:
// each table's columns and row identifier, which of its columns may have
// their updates held and which lead an index, and the parsed shapes of the
// editable queries seen so far. invalidate() drops all of it at once.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/SelectParser.h"
#include "platform/dao/sqlcipher/Sql.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace dao::detail {

struct Column {
    QString name;
    QByteArray quotedName; // ready to go into SQL
    bool textAffinity = false;
};

// Whether an update of a column may be held back and applied later: only
// when nothing in the table can make it fail.
enum class HoldRule : char { Never, Always, UnlessNull };

struct TableInfo {
    QString name; // spelled as in the schema
    QByteArray quotedName;
    bool isView = false;
    QString rowidName; // how to address a row; empty when the table has no rowid
    std::vector<Column> columns;
    std::vector<HoldRule> holdRules; // per column; filled for tables with a rowid
    std::vector<bool> leadsIndex;    // an index or the primary key starts with the column

    int columnIndex(const QString& column) const; // -1 when absent
};

QByteArray quoteIdentifier(const QString& name);

// What every recordset of one editable query shape shares, so that later
// opens that differ only in the literal read nothing of the text but it.
struct KeysetShape {
    std::shared_ptr<const TableInfo> table;
    std::vector<int> columns; // the table column behind each field
    std::vector<QString> fieldNames;
    const Column* key = nullptr; // the condition's column; none without a condition
    bool keyIndexed = false;     // an index starts with it: the plain query need not scan the table
    QByteArray keysSql;          // rowids of the matching rows, in rowid order
    QByteArray rowsByListSql;    // rows of up to kReadAhead listed rowids
    QByteArray rowsByRangeSql;   // rows with rowids from ?1 to ?2

    // The UPDATE of the fields marked in `assigned` and their names, made
    // once per set.
    struct Update {
        QByteArray sql;
        QStringList fields;
    };
    const Update& update(const std::vector<bool>& assigned) const;

private:
    mutable std::vector<std::pair<std::vector<bool>, Update>> updates_;
};

// Rows read at once by a keyset recordset.
inline constexpr int kReadAhead = 64;

class Schema {
public:
    // The table or view of that name (any case), nullptr when absent.
    std::shared_ptr<const TableInfo> table(Sql& sql, const QString& name);

    struct ShapeHit {
        std::shared_ptr<const KeysetShape> shape;
        std::optional<SimpleSelect::Literal> literal;
    };
    // A shape seen before whose text is `sql` up to its literal.
    std::optional<ShapeHit> findShape(const QString& sql);
    void addShape(const QString& sql, const SimpleSelect& select, std::shared_ptr<const KeysetShape> shape);

    // Raises 3049 when the views the names reach nest more deeply than
    // SQLite may safely expand; checked before anything is prepared on them.
    void checkNesting(Sql& sql, const QStringList& names);

    void invalidate();

private:
    std::optional<std::map<QString, QString>> views_;       // lower-case name → definition
    std::optional<std::map<QString, QString>> definitions_; // the same for views and tables
    std::map<QString, std::shared_ptr<const TableInfo>> tables_;
    struct ShapeEntry {
        QString text;           // the whole query, or its text before the literal
        qsizetype literalStart; // -1 without a condition
        std::shared_ptr<const KeysetShape> shape;
    };
    std::vector<ShapeEntry> shapes_; // most recently used first
};

} // namespace dao::detail
