#pragma once
// A Jet 3 or Jet 4 (.mdb) database file, open for reading only: the rows of
// one of its tables at a time, with the values the engine gives, all at once
// (read) or a page's worth at a time (rows).
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "runtime/Variant.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace dao::jet {

struct Table {
    std::vector<QString> names;                   // the columns read, as the table spells them
    std::vector<std::vector<vb::Variant>> rows;   // one value per name
};

// The page of the definition of the table a catalogue (MSysObjects) row
// names, from the row's Type and Id; nothing for a row that is no table of
// the file.
std::optional<std::uint32_t> tableDefinitionPage(const vb::Variant& type, const vb::Variant& id);

// One table's live rows, for a reader that moves through them: opening
// counts them page by page, keeping only where each page's rows begin; the
// rows of one page at a time are then decoded as they are asked for. Keeps
// the file open until released or destroyed.
class TableRows {
public:
    ~TableRows();
    TableRows(const TableRows&) = delete;
    TableRows& operator=(const TableRows&) = delete;

    const std::vector<QString>& names() const noexcept;
    std::uint64_t count() const noexcept;
    // Row `index` (below count()), one value per name, valid until the next
    // call. Raises 18 when interrupted, 3049 for damaged pages (also for values
    // adding up to more than the pages read can hold), 7 when out of memory.
    const std::vector<vb::Variant>& row(std::uint64_t index);
    // Lets the file go: no row can be asked for after.
    void release() noexcept;

private:
    friend class JetFile;
    struct Impl;
    explicit TableRows(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

class JetFile {
public:
    // Opens read-only: never writes a byte, creates no lock file, leaves the
    // modification time alone (the system may note the access). Checks the database password against `password` (case-
    // sensitive, as Jet compares); a file with no password opens whatever
    // `password` says. Raises 3024 for a missing file, 3051 for one that
    // cannot be opened, 3343 for something that is not a Jet 3/4 file, 3049
    // for a damaged one, 3031 for a wrong password.
    static std::unique_ptr<JetFile> open(const QString& path, const QString& password);
    ~JetFile();
    JetFile(const JetFile&) = delete;
    JetFile& operator=(const JetFile&) = delete;

    // The rows of `table` (case-insensitive name, looked up in the catalogue,
    // whose entries are never all held; 3078 when absent) in the table's stored order (data pages as its usage map lists them, rows in
    // slot order: what a SELECT without ORDER BY returns), deleted rows
    // skipped; only `columns` (case-insensitive; empty = all, in table order;
    // 3265 for an unknown one), in that order. `interrupted` (may be empty)
    // is asked on each page and every 256 rows, of the catalogue as of the
    // table; true raises 18. Raises 3049 when the table's pages are damaged.
    Table read(const QString& table, const QStringList& columns, const std::function<bool()>& interrupted);
    // The same rows, read as the caller moves through them (`interrupted` is
    // kept and asked on later reads too).
    std::unique_ptr<TableRows> rows(const QString& table, const QStringList& columns,
                                    std::function<bool()> interrupted);

private:
    friend class TableRows;
    struct State;
    explicit JetFile(std::shared_ptr<State> state);
    std::shared_ptr<State> state_; // shared with the TableRows still open
};

} // namespace dao::jet
