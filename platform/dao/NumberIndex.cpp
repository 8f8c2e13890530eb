#include "platform/dao/NumberIndex.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace dao::detail {

namespace {

bool byKeyThenRow(const NumberIndex::Entry& a, const NumberIndex::Entry& b) {
    return a.key < b.key || (!(b.key < a.key) && a.row < b.row);
}

} // namespace

std::size_t NumberIndex::slotsFor(std::size_t count) {
    std::size_t slots = 16;
    while (slots < 2 * count)
        slots *= 2;
    return slots;
}

NumberIndex::NumberIndex(std::vector<Entry> entries) : entries_(std::move(entries)) {
    // A scan of an index on the column comes sorted already.
    if (!std::is_sorted(entries_.begin(), entries_.end(), byKeyThenRow))
        std::sort(entries_.begin(), entries_.end(), byKeyThenRow);
    if (entries_.size() < entries_.capacity() / 4 * 3)
        entries_.shrink_to_fit();
    const std::size_t slots = slotsFor(entries_.size());
    slots_.assign(slots, 0);
    shift_ = 64 - static_cast<unsigned>(std::countr_zero(slots));
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (i > 0 && !(entries_[i - 1].key < entries_[i].key))
            continue; // not the first entry of its key
        std::size_t slot = slotOf(entries_[i].key);
        while (slots_[slot] != 0)
            slot = (slot + 1) & (slots - 1);
        slots_[slot] = static_cast<std::uint32_t>(i + 1);
    }
}

std::size_t NumberIndex::slotOf(double key) const {
    // -0.0 and 0.0 are one key.
    const double normal = key == 0 ? 0.0 : key;
    std::uint64_t bits;
    std::memcpy(&bits, &normal, sizeof bits);
    // The product's top bits, which every bit of the key reaches: a whole
    // number's real has its low bits all zero.
    return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> shift_);
}

std::span<const NumberIndex::Entry> NumberIndex::find(double key) const {
    if (slots_.empty() || key != key)
        return {};
    for (std::size_t slot = slotOf(key);; slot = (slot + 1) & (slots_.size() - 1)) {
        const std::uint32_t first = slots_[slot];
        if (first == 0)
            return {}; // no such key
        if (entries_[first - 1].key != key)
            continue;
        std::size_t end = first;
        while (end < entries_.size() && entries_[end].key == key)
            ++end;
        return {entries_.data() + (first - 1), end - (first - 1)};
    }
}

} // namespace dao::detail
