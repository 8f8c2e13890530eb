#pragma once
// Updates accepted by Recordset::Update but not yet handed to SQLite. A run
// updates rows in the order of the source, which is random in the target:
// applied one by one, every update is a descent to a random page and every
// commit rewrites pages scattered over the whole file. Held here, they are
// applied in rowid order: in batches by the commit timer's thread while the
// caller goes on, and the rest just before anything reads the file and before
// each commit.
//
// Only updates that cannot fail on a constraint are held (the caller checks),
// so every error an update can raise is still raised by Update itself.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "runtime/Variant.h"

#include <QByteArray>
#include <QStringEncoder>

#include <sqlcipher/sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace dao::detail {

class PendingWrites {
public:
    // One held update (accepts() has said yes): the statement (an UPDATE whose last parameter is the
    // rowid), the row, and the values of the other parameters.
    void add(const QByteArray& sql, std::int64_t rowid, const std::vector<const vb::Variant*>& values);

    // Whether add() takes an update of `values` values with this statement;
    // when not, apply what is held first, or write the update at once.
    bool accepts(const QByteArray& sql, std::size_t values) const;

    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    std::size_t bytes() const { return entries_.size() * sizeof(Entry) + arenaBytes_; }

    // Puts the updates in rowid order, ascending or descending (the order of
    // submission within a row), and leaves out each one that a later update
    // of the same row and the same fields makes moot. Then update i, from 0
    // to size(), is the i-th to apply.
    void arrange(bool descending = false);
    const QByteArray& sql(std::size_t i) const { return statements_[entries_[i].statement]; }
    // The distinct statements, and which of them update i uses.
    const std::vector<QByteArray>& statements() const { return statements_; }
    std::size_t statementOf(std::size_t i) const { return entries_[i].statement; }
    // Binds the values of update i and its rowid to stmt; returns the first
    // failing SQLite result code, or SQLITE_OK.
    int bind(std::size_t i, sqlite3_stmt* stmt) const;
    // Forgets the first n updates (they are applied); the rest stay held.
    void dropApplied(std::size_t n);
    void clear();

private:
    struct Entry {
        std::int64_t rowid;
        std::uint32_t offset;    // of the values: chunk << kChunkBits | place; grows with each add
        std::uint16_t statement; // index into statements_
        std::uint16_t count;     // values
    };
    static constexpr unsigned kChunkBits = 20;
    static constexpr std::size_t kChunk = std::size_t{1} << kChunkBits;

    // Room for n bytes that stay where they are; sets `offset` to their place.
    char* allocate(std::size_t n, std::uint32_t& offset);
    const char* at(std::uint32_t offset) const {
        return chunks_[offset >> kChunkBits].get() + (offset & (kChunk - 1));
    }

    std::vector<QByteArray> statements_;
    // Both grow in pieces: on a large run these are the biggest buffers, and
    // a contiguous one would briefly need twice its size each time it grows.
    std::deque<Entry> entries_;
    std::vector<std::unique_ptr<char[]>> chunks_; // tagged values, back to back
    std::size_t used_ = kChunk;                   // of the last chunk
    std::size_t arenaBytes_ = 0;
    QStringEncoder utf8_{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
};

} // namespace dao::detail
