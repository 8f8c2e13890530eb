#include "platform/dao/detail/PendingWrites.h"

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace dao::detail {

namespace {

enum Tag : char { kNull = 'n', kInteger = 'i', kReal = 'r', kText = 't', kBlob = 'b' };

void put(std::string& arena, const void* data, std::size_t size) {
    arena.append(static_cast<const char*>(data), size);
}

template <class T>
T get(const char*& p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    p += sizeof value;
    return value;
}

std::atomic<std::uint64_t> g_held{0};

} // namespace

std::uint64_t updatesHeld() {
    return g_held.load();
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
    if (arena_.size() > std::numeric_limits<std::uint32_t>::max() / 2)
        throw std::length_error("too many held updates");
    entries_.push_back({rowid, static_cast<std::uint32_t>(arena_.size()), static_cast<std::uint16_t>(statement - 1),
                        static_cast<std::uint16_t>(values.size())});
    for (const vb::Variant* value : values) {
        struct Encoder {
            std::string& arena;
            QStringEncoder& utf8;
            void operator()(vb::Null) const { arena += kNull; }
            void operator()(std::int64_t v) const {
                arena += kInteger;
                put(arena, &v, sizeof v);
            }
            void operator()(double v) const {
                arena += kReal;
                put(arena, &v, sizeof v);
            }
            void operator()(const QString& v) const {
                // Encoded straight into the arena, with the length patched in after.
                const std::size_t head = arena.size();
                arena.resize(head + 1 + sizeof(std::uint32_t) + static_cast<std::size_t>(utf8.requiredSpace(v.size())));
                char* const begin = arena.data() + head + 1 + sizeof(std::uint32_t);
                char* const end = utf8.appendToBuffer(begin, v);
                const auto length = static_cast<std::uint32_t>(end - begin);
                arena[head] = kText;
                std::memcpy(arena.data() + head + 1, &length, sizeof length);
                arena.resize(head + 1 + sizeof length + length);
            }
            void operator()(const QByteArray& v) const {
                arena += kBlob;
                const auto length = static_cast<std::uint32_t>(v.size());
                put(arena, &length, sizeof length);
                arena.append(v.constData(), static_cast<std::size_t>(v.size()));
            }
        };
        std::visit(Encoder{arena_, utf8_}, value->storage());
    }
    g_held.fetch_add(1, std::memory_order_relaxed);
}

void PendingWrites::arrange() {
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const Entry& a, const Entry& b) { return a.rowid < b.rowid; });
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
    const char* p = arena_.data() + e.offset;
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
    arena_ = {};
}

} // namespace dao::detail
