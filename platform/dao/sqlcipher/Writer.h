#pragma once
// Where an update is held and committed: the implicit write transaction of
// one open file. Update() is the one way a row is written. Updates that
// nothing in the table can refuse are held (PendingWrites) and applied in
// rowid order: in batches on the commit timer's thread while the caller goes
// on, and the rest before anything reads the file and at each commit. The
// timer commits a while after the first update of a transaction (see
// commitStartAfter).
//
// Every member is for the holder of the guard's lock.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/sqlcipher/HandleGuard.h"
#include "platform/dao/sqlcipher/Interruption.h"
#include "platform/dao/sqlcipher/PendingWrites.h"
#include "platform/dao/sqlcipher/Sql.h"
#include "runtime/RuntimeError.h"

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

namespace dao::detail {

// How long after the first uncommitted update the timer commits: a second,
// or ten times the previous commit's duration when that is longer, so that
// on a large file commits take no more than about a tenth of a run.
inline constexpr std::chrono::milliseconds kCommitDelay{1000};
inline constexpr int kCommitDelayFactor = 10;
// How long after the first update of a transaction its commit starts, given
// how long the previous commit took.
std::chrono::steady_clock::duration commitStartAfter(std::chrono::steady_clock::duration previousCommit);

// One row update: the UPDATE (its last parameter is the rowid), the row and
// the values of the other parameters, the fields it writes (named in a
// refusal), and whether it may be held: nothing in the table can refuse it
// and the row is known to be there.
struct RowUpdate {
    const QByteArray& sql;
    std::int64_t rowid;
    const std::vector<const vb::Variant*>& values;
    const QStringList& fields;
    bool holdable;
};

class Writer {
public:
    Writer(HandleGuard& guard, Statements& statements, const ResultCodes& codes, Interruption& interruption);
    ~Writer(); // stops the timer; the owner commits or closes before
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // A write transaction is open: until it ends no other connection can
    // change the file.
    bool writing();
    // Opens the transaction (taking the write lock now) unless one is open;
    // true when it opened one.
    bool begin();
    // Writes the row now or holds the update; raises what writing raised
    // (3167 when the row has gone).
    void update(const RowUpdate& row);
    // Applies the held updates now; raises what applying them raised.
    void flush();

    // A commit failure met on the timer's thread or by a batch, raised at
    // the next call; taken once.
    std::optional<vb::RuntimeError> takeDeferred();
    // The last thing done was a commit that failed and kept the
    // transaction: trying again at once would wait out the lock again.
    bool commitJustFailed() const { return commitJustFailed_; }
    void newCall() { commitJustFailed_ = false; }
    // Commits what is open; the SQLite result code.
    int commit();
    // Commits what is open; a failure that lost the updates is deferred.
    void commitQuietly() noexcept;
    // Forgets what is held (the file is being closed).
    void discard() noexcept;
    // For a caller without the lock, before the guard goes.
    void stopTimer() noexcept;

    std::uint64_t held() const { return held_.load(); }
    std::uint64_t batched() const { return batched_.load(); }

private:
    using Clock = std::chrono::steady_clock;

    int applyHeld() noexcept; // the first failure's result code, or SQLITE_OK
    int applyArranged(PendingWrites& writes);
    int statementsFor(const PendingWrites& writes, std::vector<sqlite3_stmt*>& out);
    bool batchReady();
    void applyBatch(HandleGuard::Lock& lock) noexcept;
    void defer(int rc) noexcept;
    void timerLoop(std::stop_token stop);

    HandleGuard& guard_;
    Statements& statements_;
    const ResultCodes& codes_;
    Interruption& interruption_;

    PendingWrites pending_;
    // Held updates taken by a batch; after a failure, the ones not applied,
    // which go before pending_. Touched by others only once the batch is over.
    PendingWrites applying_;
    bool flushing_ = false;
    bool wroteInTransaction_ = false; // a file that refuses writes has shown it already
    bool descendingPass_ = true;      // the direction of the next pass of held updates
    bool writeCache_ = false;         // the cache has been enlarged for writing
    bool commitJustFailed_ = false;
    Clock::duration lastCommit_{}; // how long the previous commit took
    std::optional<Clock::time_point> commitDue_;
    std::optional<vb::RuntimeError> deferred_;
    std::atomic<std::uint64_t> held_{0}, batched_{0};
    std::jthread timer_; // last member: stopped before anything it uses goes away
};

} // namespace dao::detail
