#pragma once
// The key lookups of one open file (see KeyLookup) and their memory budget:
// when a lookup is built, when the plain query answers instead, and which
// lookups a write or another process's commit makes stale.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/sqlcipher/KeyLookup.h"
#include "platform/dao/sqlcipher/Schema.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace dao::detail {

// The most memory the lookups of one file may take together; a table whose
// lookup would need more is answered by the plain query instead. Tests lower it.
void setLookupBudget(std::size_t bytes);
std::size_t lookupBudget();

class Lookups {
public:
    // The rowids, in rowid order, of the rows whose `column` (without text
    // affinity) equals `number`; nothing when the plain query must answer:
    // the column leads an index (`indexed`) and has been asked for only
    // once, its lookup would not fit the budget, or only SQLite can compare
    // the number.
    std::optional<std::vector<std::int64_t>> rows(Sql& sql, const TableInfo& table, const Column& column,
                                                  bool indexed, const std::variant<std::int64_t, double>& number);
    // The column is about to be written: its lookup no longer holds.
    void forget(const TableInfo& table, const Column& column);
    void clear();

    std::uint64_t built() const { return built_; }
    std::uint64_t answers() const { return answers_; }

private:
    struct Slot {
        QString table, column;
        std::optional<KeyLookup> lookup;
        int opens = 0;         // keyed opens since it was last dropped
        bool tooLarge = false; // over the budget until the file changes
        bool indexed = false;  // an index (or the primary key) starts with the column
    };
    std::vector<Slot>::iterator slotOf(const TableInfo& table, const Column& column);

    std::vector<Slot> slots_; // few: one per column a run looks up
    std::size_t bytes_ = 0;
    std::atomic<std::uint64_t> built_{0}, answers_{0};
};

} // namespace dao::detail
