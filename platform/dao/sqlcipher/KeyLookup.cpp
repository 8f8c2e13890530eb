#include "platform/dao/sqlcipher/KeyLookup.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace dao::detail {

namespace {

// Integers of at most this size convert to reals exactly.
constexpr std::int64_t kExactLimit = std::int64_t{1} << 53;

bool byKeyThenRowid(const auto& a, const auto& b) {
    return a.key < b.key || (!(b.key < a.key) && a.rowid < b.rowid);
}

} // namespace

std::optional<KeyLookup> KeyLookup::build(sqlite3_stmt* scan, const std::function<bool()>& step,
                                          std::size_t expected, std::size_t budget) {
    KeyLookup lookup;
    const std::size_t most = budget / sizeof(Entry);
    // Growing by copying would cost time and, for a moment, twice the memory.
    lookup.entries_.reserve(std::min(expected, most));
    while (step()) {
        const int type = sqlite3_column_type(scan, 1);
        if (type != SQLITE_INTEGER && type != SQLITE_FLOAT)
            continue; // Null, text and blobs never equal a number here
        if (lookup.entries_.size() >= most)
            return std::nullopt;
        if (lookup.entries_.size() == lookup.entries_.capacity())
            lookup.entries_.reserve(std::min(most, std::max<std::size_t>(1024, lookup.entries_.size() * 2)));
        // Stored integers convert as SQLite converts them to compare with a real.
        const double key = type == SQLITE_INTEGER ? static_cast<double>(sqlite3_column_int64(scan, 1))
                                                  : sqlite3_column_double(scan, 1);
        lookup.entries_.push_back({key, sqlite3_column_int64(scan, 0)});
    }
    // A scan of an index on the column comes sorted already.
    if (!std::is_sorted(lookup.entries_.begin(), lookup.entries_.end(), byKeyThenRowid<Entry, Entry>))
        std::sort(lookup.entries_.begin(), lookup.entries_.end(), byKeyThenRowid<Entry, Entry>);
    if (lookup.entries_.size() < lookup.entries_.capacity() / 4 * 3)
        lookup.entries_.shrink_to_fit();
    if (lookup.entries_.size() >= std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;

    std::size_t slots = 16;
    while (slots < 2 * lookup.entries_.size())
        slots *= 2;
    if (lookup.entries_.size() * sizeof(Entry) + slots * sizeof(std::uint32_t) > budget)
        return std::nullopt;
    lookup.slots_.assign(slots, 0);
    for (std::size_t i = 0; i < lookup.entries_.size(); ++i) {
        if (i > 0 && !(lookup.entries_[i - 1].key < lookup.entries_[i].key))
            continue; // not the first entry of its key
        std::size_t slot = lookup.slotOf(lookup.entries_[i].key);
        while (lookup.slots_[slot] != 0)
            slot = (slot + 1) & (slots - 1);
        lookup.slots_[slot] = static_cast<std::uint32_t>(i + 1);
    }
    return lookup;
}

std::size_t KeyLookup::slotOf(double key) const {
    // -0.0 and 0.0 are one key.
    const double normal = key == 0 ? 0.0 : key;
    std::uint64_t bits;
    std::memcpy(&bits, &normal, sizeof bits);
    bits *= 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(bits >> 32) & (slots_.size() - 1);
}

bool KeyLookup::find(const std::variant<std::int64_t, double>& number, std::vector<std::int64_t>& rowids) const {
    double key;
    if (const auto* integer = std::get_if<std::int64_t>(&number)) {
        // An integer this large may equal a stored real or integer SQLite
        // tells apart only by exact integer comparison.
        if (*integer >= kExactLimit || *integer <= -kExactLimit)
            return false;
        key = static_cast<double>(*integer);
    } else {
        key = std::get<double>(number);
        if (std::isnan(key))
            return true; // nothing equals NaN
    }
    if (slots_.empty())
        return true;
    for (std::size_t slot = slotOf(key);; slot = (slot + 1) & (slots_.size() - 1)) {
        const std::uint32_t first = slots_[slot];
        if (first == 0)
            return true; // no such key
        if (entries_[first - 1].key != key)
            continue;
        for (std::size_t i = first - 1; i < entries_.size() && entries_[i].key == key; ++i)
            rowids.push_back(entries_[i].rowid);
        return true;
    }
}

} // namespace dao::detail
