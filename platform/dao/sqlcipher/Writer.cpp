#include "platform/dao/sqlcipher/Writer.h"

#include "platform/dao/Errors.h"

#include <algorithm>
#include <utility>

namespace dao::detail {

namespace {

// Held updates go to the timer thread in batches of at least this many; a
// batch takes all that are held, so batches grow when the caller is faster.
constexpr std::size_t kBatch = 256;
// Memory stays bounded: past this the held updates go into the transaction now.
constexpr std::size_t kHeldBudget = 32u << 20;
// The page cache of a file being written.
constexpr std::int64_t kWriteCacheKiB = 48 * 1024;

// Steps each update of `writes` in order; the first failure's result code
// and how many were applied before it.
std::pair<int, std::size_t> stepAll(const PendingWrites& writes, const std::vector<sqlite3_stmt*>& statements) {
    for (std::size_t i = 0; i < writes.size(); ++i) {
        sqlite3_stmt* stmt = statements[writes.statementOf(i)];
        int rc = writes.bind(i, stmt);
        if (rc == SQLITE_OK)
            rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        if (rc != SQLITE_DONE)
            return {rc, i};
    }
    return {SQLITE_OK, writes.size()};
}

} // namespace

std::chrono::steady_clock::duration commitStartAfter(std::chrono::steady_clock::duration previousCommit) {
    // The previous commit's duration stands for this one's: starting that
    // much earlier, the updates are in the file when the delay is up.
    using Duration = std::chrono::steady_clock::duration;
    const Duration delay = std::max<Duration>(kCommitDelay, kCommitDelayFactor * previousCommit);
    return delay - std::min(previousCommit, delay / 2);
}

Writer::Writer(HandleGuard& guard, Statements& statements, const ResultCodes& codes, Interruption& interruption)
    : guard_(guard), statements_(statements), codes_(codes), interruption_(interruption) {}

Writer::~Writer() {
    stopTimer();
}

bool Writer::writing() {
    // A batch in flight belongs to an open transaction (and the handle is
    // not ours to ask meanwhile).
    if (guard_.leased())
        return true;
    sqlite3* db = guard_.handle();
    return db && !sqlite3_get_autocommit(db);
}

bool Writer::begin() {
    if (writing())
        return false;
    sqlite3* db = guard_.handle();
    const Interruption::Hold writes(interruption_);
    // IMMEDIATE takes the write lock now, so a busy file fails here, before
    // any row has changed, instead of deadlocking halfway.
    codes_.check(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), Op::Write);
    wroteInTransaction_ = false;
    if (!writeCache_) {
        // Updates come in random order and are applied in passes over the
        // file: the more of it stays cached between passes, the fewer pages
        // are read and decrypted again.
        const QByteArray pragma = "PRAGMA cache_size = -" + QByteArray::number(kWriteCacheKiB);
        codes_.check(sqlite3_exec(db, pragma.constData(), nullptr, nullptr, nullptr), Op::Write);
        writeCache_ = true;
    }
    commitDue_ = Clock::now() + commitStartAfter(lastCommit_);
    if (!timer_.joinable())
        timer_ = std::jthread([this](std::stop_token stop) { timerLoop(stop); });
    guard_.notify();
    return true;
}

void Writer::update(const RowUpdate& row) {
    // Held only once the transaction has made one write, so that a file or
    // folder that refuses writes (or the journal) shows it at this update
    // rather than at the commit.
    if (row.holdable && wroteInTransaction_ && pending_.accepts(row.sql, row.values.size())) {
        pending_.add(row.sql, row.rowid, row.values);
        ++held_;
        if (pending_.size() == kBatch)
            guard_.notify();
        if (pending_.bytes() > kHeldBudget)
            flush();
        return;
    }
    flush(); // the held updates come first, in case they touch the same row
    const Interruption::Hold writes(interruption_);
    {
        Query query(codes_, statements_.cached(row.sql, Op::Write), Op::Write, row.fields);
        for (std::size_t i = 0; i < row.values.size(); ++i)
            query.bind(static_cast<int>(i + 1), *row.values[i]);
        query.bind(static_cast<int>(row.values.size() + 1), vb::Variant(row.rowid));
        query.next();
    }
    if (sqlite3_changes(guard_.handle()) == 0)
        throw errors::recordDeleted();
    wroteInTransaction_ = true;
}

void Writer::flush() {
    if (flushing_)
        return;
    if (const int rc = applyHeld(); rc != SQLITE_OK)
        codes_.fail(rc, Op::Write);
}

int Writer::statementsFor(const PendingWrites& writes, std::vector<sqlite3_stmt*>& out) {
    out.clear();
    for (const QByteArray& sql : writes.statements()) {
        sqlite3_stmt* stmt = nullptr;
        if (const int rc = statements_.tryCached(sql, stmt); rc != SQLITE_OK)
            return rc;
        out.push_back(stmt);
    }
    return SQLITE_OK;
}

int Writer::applyArranged(PendingWrites& writes) {
    if (writes.empty())
        return SQLITE_OK;
    std::vector<sqlite3_stmt*> statements;
    int rc = statementsFor(writes, statements);
    std::size_t applied = 0;
    if (rc == SQLITE_OK)
        std::tie(rc, applied) = stepAll(writes, statements);
    if (rc == SQLITE_OK)
        writes.clear();
    else
        writes.dropApplied(applied); // kept for another try, as a failed commit keeps its transaction
    return rc;
}

int Writer::applyHeld() noexcept {
    if (flushing_)
        return SQLITE_OK;
    guard_.handle(); // a batch in flight finishes first
    if (pending_.empty() && applying_.empty())
        return SQLITE_OK;
    if (!writing()) {
        // The transaction they belonged to was rolled back.
        applying_.clear();
        pending_.clear();
        return SQLITE_OK;
    }
    flushing_ = true;
    const Interruption::Hold writes(interruption_);
    int rc = SQLITE_OK;
    try {
        // What a batch left unapplied came first.
        rc = applyArranged(applying_);
        if (rc == SQLITE_OK && !pending_.empty()) {
            // Each pass runs the other way: the pages the last one (or the
            // scan that built a lookup) touched last are the ones still
            // cached, so on a file larger than the cache they are the ones
            // to start with.
            pending_.arrange(descendingPass_);
            descendingPass_ = !descendingPass_;
            rc = applyArranged(pending_);
        }
    } catch (const std::bad_alloc&) {
        rc = SQLITE_NOMEM;
    }
    flushing_ = false;
    if (rc != SQLITE_OK && !writing()) {
        applying_.clear(); // lost with the transaction SQLite rolled back
        pending_.clear();
    }
    return rc;
}

bool Writer::batchReady() {
    return pending_.size() >= kBatch && applying_.empty() && !flushing_ && !deferred_ && writing();
}

void Writer::applyBatch(HandleGuard::Lock& lock) noexcept {
    // The caller goes on meanwhile: holding more updates, opening recordsets
    // from a lookup, none of which needs the handle; whatever does, waits.
    std::swap(applying_, pending_);
    int rc = SQLITE_OK;
    std::size_t applied = 0;
    try {
        std::vector<sqlite3_stmt*> statements;
        rc = statementsFor(applying_, statements);
        if (rc == SQLITE_OK) {
            const HandleGuard::Lease lease = guard_.lease(lock);
            applying_.arrange();
            std::tie(rc, applied) = stepAll(applying_, statements);
            batched_ += applied;
        }
    } catch (const std::bad_alloc&) {
        rc = SQLITE_NOMEM;
    }
    if (rc == SQLITE_OK) {
        applying_.clear();
    } else {
        if (writing()) {
            applying_.dropApplied(applied); // tried again before the held ones
        } else {
            applying_.clear();
            pending_.clear();
        }
        defer(rc); // raised at the next call
    }
    guard_.notify();
}

int Writer::commit() {
    const Interruption::Hold writes(interruption_);
    const Clock::time_point start = Clock::now();
    int rc = applyHeld();
    if (rc == SQLITE_OK && !writing())
        return rc; // a batch failed and SQLite rolled back; its error is deferred
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(guard_.handle(), "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        lastCommit_ = Clock::now() - start;
    commitJustFailed_ = rc != SQLITE_OK && writing();
    if (commitJustFailed_)
        commitDue_ = Clock::now() + kCommitDelay; // locked out: the timer tries again later, not straight after
    else
        commitDue_.reset();
    return rc;
}

void Writer::commitQuietly() noexcept {
    if (!writing())
        return;
    const int rc = commit();
    if (rc != SQLITE_OK && !writing())
        defer(rc);
}

void Writer::defer(int rc) noexcept {
    // The updates are gone: say so at the next call.
    try {
        if (!deferred_)
            deferred_ = codes_.error(rc, Op::Write);
    } catch (...) {
    }
}

std::optional<vb::RuntimeError> Writer::takeDeferred() {
    return std::exchange(deferred_, std::nullopt);
}

void Writer::discard() noexcept {
    pending_.clear();
    applying_.clear();
    commitDue_.reset();
    guard_.notify();
}

void Writer::timerLoop(std::stop_token stop) {
    HandleGuard::Lock lock(guard_);
    while (!stop.stop_requested()) {
        // A commit that is due goes first: while updates keep coming there is
        // always another batch ready, and the bound must hold all the same.
        if (!commitDue_ || Clock::now() < *commitDue_) {
            if (batchReady()) {
                applyBatch(lock);
                continue;
            }
            if (!commitDue_) {
                guard_.wait(lock, stop, [this] { return commitDue_.has_value() || batchReady(); });
                continue;
            }
            const Clock::time_point due = *commitDue_;
            guard_.waitUntil(lock, stop, due, [&] { return commitDue_ != due || batchReady(); });
            continue;
        }
        if (!writing()) {
            commitDue_.reset();
            continue;
        }
        const int rc = commit();
        if (rc == SQLITE_OK)
            continue;
        if (writing())
            commitDue_ = Clock::now() + kCommitDelay; // still locked out: try again later
        else
            defer(rc);
    }
}

void Writer::stopTimer() noexcept {
    if (!timer_.joinable())
        return;
    timer_.request_stop();
    try {
        timer_.join();
    } catch (...) {
    }
}

} // namespace dao::detail
