#pragma once
// A Jet 3 or Jet 4 (.mdb) database file, open for reading only: the rows of
// one of its tables at a time, with the values the engine gives.
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

    // The rows of `table` (case-insensitive name; 3078 when absent) in the
    // table's stored order (data pages as its usage map lists them, rows in
    // slot order: what a SELECT without ORDER BY returns), deleted rows
    // skipped; only `columns` (case-insensitive; empty = all, in table order;
    // 3265 for an unknown one), in that order. `interrupted` (may be empty)
    // is asked on each page and every 256 rows; true raises 18. Raises 3049
    // when the table's pages are damaged.
    Table read(const QString& table, const QStringList& columns, const std::function<bool()>& interrupted);

private:
    struct State;
    explicit JetFile(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace dao::jet
