#include "platform/dao/sqlcipher/PendingWrites.h"

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace dao::detail {

namespace {

enum Tag : char { kNull = 'n', kInteger = 'i', kReal = 'r', kText = 't', kBlob = 'b' };

template <class T>
T get(const char*& p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    p += sizeof value;
    return value;
}

template <class T>
void put(char*& p, T value) {
    std::memcpy(p, &value, sizeof value);
    p += sizeof value;
}

} // namespace

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
    for (const vb::Variant* value : values) {
        most += 1 + sizeof(std::uint64_t);
        if (const auto* text = std::get_if<QString>(&value->storage()))
            most += 3 * static_cast<std::size_t>(text->size()); // UTF-8 takes at most 3 bytes a unit
        else if (const auto* decimal = std::get_if<vb::Decimal>(&value->storage()))
            most += 3 * static_cast<std::size_t>(decimal->digits.size());
        else if (const auto* bytes = std::get_if<QByteArray>(&value->storage()))
            most += static_cast<std::size_t>(bytes->size());
    }
    std::uint32_t offset = 0;
    char* const begin = allocate(most, offset);
    char* p = begin;
    for (const vb::Variant* value : values) {
        struct Encoder {
            char*& p;
            QStringEncoder& utf8;
            void operator()(vb::Null) const { *p++ = kNull; }
            void operator()(std::int64_t v) const {
                *p++ = kInteger;
                put(p, v);
            }
            void operator()(double v) const {
                *p++ = kReal;
                put(p, v);
            }
            void operator()(const QString& v) const {
                *p++ = kText;
                char* const length = p;
                p += sizeof(std::uint32_t);
                char* const end = utf8.appendToBuffer(p, v);
                char* at = length;
                put(at, static_cast<std::uint32_t>(end - p));
                p = end;
            }
            void operator()(const QByteArray& v) const {
                *p++ = kBlob;
                put(p, static_cast<std::uint32_t>(v.size()));
                std::memcpy(p, v.constData(), static_cast<std::size_t>(v.size()));
                p += v.size();
            }
            // Bound as the SQLite binder binds them.
            void operator()(vb::Currency v) const { (*this)(v.toDouble()); }
            void operator()(vb::TruthValue v) const { (*this)(std::int64_t{v.value}); }
            void operator()(vb::Date v) const { (*this)(v.days); }
            void operator()(const vb::Decimal& v) const { (*this)(v.digits); }
        };
        std::visit(Encoder{p, utf8_}, value->storage());
    }
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
        int rc = SQLITE_OK;
        switch (*p++) {
        case kNull:
            rc = sqlite3_bind_null(stmt, n);
            break;
        case kInteger:
            rc = sqlite3_bind_int64(stmt, n, get<std::int64_t>(p));
            break;
        case kReal:
            rc = sqlite3_bind_double(stmt, n, get<double>(p));
            break;
        case kText: {
            const auto length = get<std::uint32_t>(p);
            rc = sqlite3_bind_text(stmt, n, p, static_cast<int>(length), SQLITE_STATIC);
            p += length;
            break;
        }
        default: {
            const auto length = get<std::uint32_t>(p);
            // A null data pointer would bind NULL; an empty blob is still a blob.
            rc = length == 0 ? sqlite3_bind_zeroblob(stmt, n, 0)
                             : sqlite3_bind_blob(stmt, n, p, static_cast<int>(length), SQLITE_STATIC);
            p += length;
            break;
        }
        }
        if (rc != SQLITE_OK)
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
