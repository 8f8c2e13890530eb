#include "platform/dao/sqlcipher/Lookups.h"

#include <algorithm>

namespace dao::detail {

namespace {

std::atomic<std::size_t> g_lookupBudget{64u << 20};

} // namespace

void setLookupBudget(std::size_t bytes) {
    g_lookupBudget = bytes;
}

std::size_t lookupBudget() {
    return g_lookupBudget.load();
}

std::vector<Lookups::Slot>::iterator Lookups::slotOf(const TableInfo& table, const Column& column) {
    return std::find_if(slots_.begin(), slots_.end(),
                        [&](const Slot& s) { return s.column == column.name && s.table == table.name; });
}

std::optional<std::vector<std::int64_t>> Lookups::rows(Sql& sql, const TableInfo& table, const Column& column,
                                                       bool indexed,
                                                       const std::variant<std::int64_t, double>& number) {
    auto found = slotOf(table, column);
    if (found == slots_.end())
        found = slots_.insert(slots_.end(), Slot{table.name, column.name, std::nullopt, 0, false, indexed});
    Slot& slot = *found;
    if (!slot.lookup) {
        // With an index a single query is the plain query's job, and the
        // second of a shape suggests a run of them, which one pass over the
        // table serves. Without one the plain query is that pass already.
        if (slot.tooLarge || ++slot.opens < (slot.indexed ? 2 : 1))
            return std::nullopt;
        const std::size_t budget = lookupBudget();
        const QByteArray rowid = table.rowidName.toUtf8();
        std::size_t expected = 0;
        {
            // The rowid range bounds the row count; tables are mostly dense.
            const Statement range =
                sql.prepare("SELECT max(" + rowid + ") - min(" + rowid + ") + 1 FROM " + table.quotedName, Op::Read);
            Query span(sql.codes(), range.get(), Op::Read);
            if (span.next() && span.int64(0) > 0)
                expected = static_cast<std::size_t>(std::min<std::int64_t>(span.int64(0), 1 << 26));
        }
        const Statement scan =
            sql.prepare("SELECT " + rowid + ", " + column.quotedName + " FROM " + table.quotedName, Op::Read);
        Query rows(sql.codes(), scan.get(), Op::Read);
        slot.lookup = KeyLookup::build(
            scan.get(), [&rows] { return rows.next(); }, expected, budget > bytes_ ? budget - bytes_ : 0);
        if (!slot.lookup) {
            slot.tooLarge = true;
            return std::nullopt;
        }
        ++built_;
        bytes_ += slot.lookup->bytes();
    }
    std::vector<std::int64_t> rowids;
    if (!slot.lookup->find(number, rowids))
        return std::nullopt;
    ++answers_;
    return rowids;
}

void Lookups::forget(const TableInfo& table, const Column& column) {
    const auto it = slotOf(table, column);
    if (it == slots_.end())
        return;
    if (it->lookup)
        bytes_ -= it->lookup->bytes();
    slots_.erase(it);
}

void Lookups::clear() {
    slots_.clear();
    bytes_ = 0;
}

} // namespace dao::detail
