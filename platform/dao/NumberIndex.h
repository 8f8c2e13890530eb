#pragma once
// Rows by a number, kept in memory for keyed queries on a column no index
// serves: (key, row) entries sorted by key, then row, and a hash over the
// distinct keys. A sorted search alone costs a cache miss per halving on a
// large table; the hash finds a key in about one.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace dao::detail {

class NumberIndex {
public:
    struct Entry {
        double key;
        std::int64_t row;
    };

    NumberIndex() = default;
    // `entries` in any order, none with a NaN key, fewer than 2^32 - 1.
    explicit NumberIndex(std::vector<Entry> entries);

    // The entries whose key equals `key` (-0 equals 0, NaN nothing), by row.
    std::span<const Entry> find(double key) const;
    std::size_t bytes() const {
        return entries_.capacity() * sizeof(Entry) + slots_.capacity() * sizeof(std::uint32_t);
    }
    // What an index of `count` entries takes, before it is built.
    static std::size_t bytesFor(std::size_t count) { return count * sizeof(Entry) + slotsFor(count) * sizeof(std::uint32_t); }

private:
    static std::size_t slotsFor(std::size_t count);
    std::size_t slotOf(double key) const;

    std::vector<Entry> entries_;
    // Open addressing, at most half full: 1 + the index of a key's first
    // entry, 0 for a free slot.
    std::vector<std::uint32_t> slots_;
    unsigned shift_ = 60; // 64 - log2(slots)
};

} // namespace dao::detail
