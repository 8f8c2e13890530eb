#include "platform/dao/sqlcipher/KeyLookup.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace dao::detail {

namespace {

// Integers of at most this size convert to reals exactly.
constexpr std::int64_t kExactLimit = std::int64_t{1} << 53;

} // namespace

std::optional<KeyLookup> KeyLookup::build(sqlite3_stmt* scan, const std::function<bool()>& step,
                                          std::size_t expected, std::size_t budget) {
    const std::size_t most = budget / sizeof(NumberIndex::Entry);
    std::vector<NumberIndex::Entry> entries;
    // Growing by copying would cost time and, for a moment, twice the memory.
    entries.reserve(std::min(expected, most));
    while (step()) {
        const int type = sqlite3_column_type(scan, 1);
        if (type != SQLITE_INTEGER && type != SQLITE_FLOAT)
            continue; // Null, text and blobs never equal a number here
        if (entries.size() >= most)
            return std::nullopt;
        if (entries.size() == entries.capacity())
            entries.reserve(std::min(most, std::max<std::size_t>(1024, entries.size() * 2)));
        // Stored integers convert as SQLite converts them to compare with a real.
        const double key = type == SQLITE_INTEGER ? static_cast<double>(sqlite3_column_int64(scan, 1))
                                                  : sqlite3_column_double(scan, 1);
        if (key != key)
            continue; // nothing equals NaN
        entries.push_back({key, sqlite3_column_int64(scan, 0)});
    }
    if (entries.size() >= std::numeric_limits<std::uint32_t>::max() || NumberIndex::bytesFor(entries.size()) > budget)
        return std::nullopt;
    KeyLookup lookup;
    lookup.index_ = NumberIndex(std::move(entries));
    return lookup;
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
    }
    for (const NumberIndex::Entry& e : index_.find(key))
        rowids.push_back(e.row);
    return true;
}

} // namespace dao::detail
