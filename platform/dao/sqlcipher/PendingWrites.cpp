#include "platform/dao/sqlcipher/PendingWrites.h"

#include "platform/dao/sqlcipher/Sqlite.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace dao::detail {

char* PendingWrites::allocate(std::size_t n, std::uint32_t& offset) {
    if (used_ + n > kChunk) {
        if (chunks_.size() >= (std::size_t{1} << (32 - kChunkBits)))
            throw std::length_error("too many held updates");
        // A value larger than a chunk gets one of its own.
        const std::size_t size = std::max(n, kChunk);
        chunks_.push_back(std::make_unique_for_overwrite<char[]>(size)); // pages are touched as they fill
        arenaBytes_ += size;
        used_ = 0;
    }
    offset = static_cast<std::uint32_t>((chunks_.size() - 1) << kChunkBits | used_);
    char* const p = chunks_.back().get() + used_;
    used_ = n >= kChunk ? kChunk : used_ + n;
    return p;
}

bool PendingWrites::accepts(const QByteArray& sql, std::size_t values) const {
    constexpr std::size_t kMost = std::numeric_limits<std::uint16_t>::max();
    return values <= kMost &&
           (statements_.size() <= kMost || std::find(statements_.begin(), statements_.end(), sql) != statements_.end());
}

void PendingWrites::add(const QByteArray& sql, std::int64_t rowid, const std::vector<const vb::Variant*>& values) {
    // A run holds one statement over and over; look at the latest first.
    std::size_t statement = statements_.size();
    while (statement > 0 && statements_[statement - 1] != sql)
        --statement;
    if (statement == 0) {
        if (statements_.size() > std::numeric_limits<std::uint16_t>::max())
            throw std::length_error("too many kinds of held updates");
        statements_.push_back(sql);
        statement = statements_.size();
    }
    if (values.size() > std::numeric_limits<std::uint16_t>::max())
        throw std::length_error("too many values in one update");

    // The most the values can take; what is left over goes back.
    std::size_t most = 0;
    for (const vb::Variant* value : values)
        most += encodedSize(*value);
    std::uint32_t offset = 0;
    char* const begin = allocate(most, offset);
    char* p = begin;
    for (const vb::Variant* value : values)
        p = encodeValue(*value, p, utf8_);
    if (used_ < kChunk)
        used_ -= most - static_cast<std::size_t>(p - begin);
    entries_.push_back({rowid, offset, static_cast<std::uint16_t>(statement - 1),
                        static_cast<std::uint16_t>(values.size())});
}

void PendingWrites::arrange(bool descending) {
    // In place, without the buffer a stable sort takes: the offsets keep the
    // order of submission within a row.
    std::sort(entries_.begin(), entries_.end(), [descending](const Entry& a, const Entry& b) {
        if (a.rowid != b.rowid)
            return descending ? a.rowid > b.rowid : a.rowid < b.rowid;
        return a.offset < b.offset;
    });
    // Keep an update unless the next one writes the same fields of the same row.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (i + 1 < entries_.size() && entries_[i + 1].rowid == entries_[i].rowid &&
            entries_[i + 1].statement == entries_[i].statement)
            continue;
        entries_[kept++] = entries_[i];
    }
    entries_.resize(kept);
}

int PendingWrites::bind(std::size_t i, sqlite3_stmt* stmt) const {
    const Entry& e = entries_[i];
    const char* p = at(e.offset);
    for (int n = 1; n <= e.count; ++n) {
        if (const int rc = bindEncoded(stmt, n, p, SQLITE_STATIC); rc != SQLITE_OK)
            return rc;
    }
    return sqlite3_bind_int64(stmt, e.count + 1, e.rowid);
}

void PendingWrites::dropApplied(std::size_t n) {
    if (n >= entries_.size()) {
        clear();
        return;
    }
    entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(n));
}

void PendingWrites::clear() {
    statements_.clear();
    entries_ = {};
    chunks_.clear();
    chunks_.shrink_to_fit();
    used_ = kChunk;
    arenaBytes_ = 0;
}

} // namespace dao::detail
