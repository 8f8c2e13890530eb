#pragma once
// What JetTargetStore and its recordsets share: the open target (its lock,
// working copy and pages), the tables read so far, and the reading and
// writing of one row's values.
//
// Updates are applied behind the caller (jet/WriteBehind.h): the pages and
// the tables' writers are that thread's while updates are posted, so every
// path of the caller's that reads or writes pages settles first.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/Errors.h"
#include "platform/dao/JetTargetStore.h"
#include "platform/dao/NumberIndex.h"
#include "platform/dao/SelectParser.h"
#include "platform/dao/jet/Bytes.h"
#include "platform/dao/jet/ColumnProperties.h"
#include "platform/dao/jet/Guarded.h"
#include "platform/dao/jet/Header.h"
#include "platform/dao/jet/PageFile.h"
#include "platform/dao/jet/RowWriter.h"
#include "platform/dao/jet/TargetDefinition.h"
#include "platform/dao/jet/TargetLock.h"
#include "platform/dao/jet/Text.h"
#include "platform/dao/jet/WorkingCopy.h"
#include "platform/dao/jet/WriteBehind.h"
#include "runtime/Variant.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace dao {

namespace detail {

using jet::detail::guarded;

struct TargetTable {
    QString name; // as the catalogue spells it
    jet::detail::TargetDefinition def;
    jet::detail::ColumnProperties writable;
    std::optional<std::size_t> writableIndex;      // in def.table.columns
    std::optional<std::size_t> keyIndex;           // 棟番号, for messages
    std::unique_ptr<jet::detail::RowWriter> writer;
    // Per key column: the rows by key; a row location orders as the rows are stored.
    std::map<std::size_t, NumberIndex> lookups;
};


} // namespace detail

struct JetTargetStore::State {
    QString path;
    jet::detail::Header header;
    InterruptCheckPtr interrupt;
    std::unique_ptr<jet::detail::TargetLock> lock;
    std::unique_ptr<jet::detail::WorkingCopy> copy;
    std::unique_ptr<jet::detail::PageFile> pages;
    jet::detail::FileText text{false, 0};
    struct CatalogEntry {
        QString name;
        std::uint32_t page;
        QByteArray properties;
    };
    std::vector<CatalogEntry> catalog;
    std::map<QString, std::unique_ptr<detail::TargetTable>> tables; // by lower-case name
    // A query's shape, resolved once: what differs between the revision's
    // keyed queries is only the number at the end.
    struct QueryShape {
        QString text;           // the query before its literal, or all of it without a condition
        qsizetype literalStart; // -1 without a condition
        detail::TargetTable* table;
        std::vector<QString> names;
        std::vector<std::size_t> chosen;  // in the table's definition
        std::optional<std::size_t> key;   // the condition's column
    };
    // Most recently used first; shared with the recordsets opened by them.
    std::vector<std::shared_ptr<const QueryShape>> shapes;
    Statistics stats;
    bool closed = false;
    bool broken = false; // a failed flush: the copy may hold half an update

    // One accepted update: the row's 中学校区 as stored (nullopt: Null).
    struct Update {
        detail::TargetTable* table;
        jet::detail::RowLocation at;
        std::optional<std::vector<std::uint8_t>> bytes;
    };
    // Last, so that it stops before anything it uses goes.
    std::unique_ptr<jet::detail::WriteBehind<Update>> writes;


    void checkInterrupt() const;
    // The table (case-insensitive name; 3078 when absent), read once.
    detail::TargetTable& table(const QString& name);
    // The shape `sql` has, resolved (and remembered) as openRecordset needs
    // it, with the condition's literal; nothing for a query of no known shape
    // (3078, 3265 as resolving raises them).
    std::shared_ptr<const QueryShape> shape(const QString& sql, std::optional<detail::SimpleSelect::Literal>& literal);
    // Every live row in stored order (owned data pages ascending, slots in
    // order): its own slot and its bytes, wherever they live.
    void scan(const detail::TargetTable& t,
              const std::function<void(jet::detail::RowLocation, const std::vector<std::uint8_t>&)>& take);
    // One value of the row (3167 for a deleted one).
    vb::Variant value(const detail::TargetTable& t, jet::detail::RowLocation at, std::size_t column);
    vb::Variant valueIn(const detail::TargetTable& t, const std::vector<std::uint8_t>& bytes, std::size_t column);
    // The row's key as messages name it.
    QString keyText(const detail::TargetTable& t, jet::detail::RowLocation at);
    // Gives the row's 中学校区 `given`: checked against the column here, then
    // applied behind the caller (its failures raised by a later call).
    void write(detail::TargetTable& t, jet::detail::RowLocation at, const vb::Variant& given);
    // Every update written so far applied: the pages are the caller's.
    void settle() { writes->settle(); }
    // Applies one update (on the write-behind thread).
    void apply(Update& update);
};

} // namespace dao
