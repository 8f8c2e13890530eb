#pragma once
// One open database file: the SQLCipher handle, its statement and schema
// caches, and the implicit write transaction that a timer commits.
//
// Every use from the API goes through run(), which holds the connection's
// mutex; the commit timer takes the same mutex, so the handle is never used by
// two threads at once. The one exception: the timer thread may apply a batch
// of held updates without the mutex (see applyBatch), and then everything
// that uses the handle first waits for it (settle).
#include "platform/dao/detail/KeyLookup.h"
#include "platform/dao/detail/PendingWrites.h"
#include "platform/dao/detail/Sqlite.h"
#include "runtime/RuntimeError.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <variant>
#include <vector>

namespace dao::detail {

// What a statement was doing when it failed; decides between "could not
// open", "could not read" and "could not update" flavours of an error.
enum class Op { Open, Read, Write };

// How long a statement waits for another process's lock before it fails.
// Tests shorten it; the default is about five seconds.
void setBusyTimeout(std::chrono::milliseconds timeout);
std::chrono::milliseconds busyTimeout();

// How long after the first uncommitted update the timer commits: a second,
// or ten times the previous commit's duration when that is longer, so that
// on a large file commits take no more than about a tenth of a run.
inline constexpr std::chrono::milliseconds kCommitDelay{1000};
inline constexpr int kCommitDelayFactor = 10;
// How long after the first update of a transaction its commit starts, given
// how long the previous commit took.
std::chrono::steady_clock::duration commitStartAfter(std::chrono::steady_clock::duration previousCommit);

// How many held updates this process has applied in batches on a commit
// timer's thread: lets tests tell that the batches happen.
std::uint64_t updatesAppliedInBatches();

// The password of a connect text such as ";pwd=secret" (key names are
// case-insensitive; the value is taken verbatim), or nothing when absent.
std::optional<QString> passwordFromConnect(const QString& connect);

struct Column {
    QString name;
    QByteArray quotedName; // ready to go into SQL
    bool textAffinity = false;
};

struct TableInfo {
    QString name;        // spelled as in the schema
    QByteArray quotedName;
    bool isView = false;
    QString rowidName;   // how to address a row; empty when the table has no rowid
    std::vector<Column> columns;

    int columnIndex(const QString& column) const; // -1 when absent
};

QByteArray quoteIdentifier(const QString& name);

class ShapeCache; // parsed recordset queries, kept by RecordsetImpl

class Connection {
public:
    // Opens an existing encrypted file; never creates anything.
    static std::shared_ptr<Connection> open(const QString& name, const QString& connect,
                                            bool exclusive, bool readOnly);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const QString& path() const { return path_; }
    bool readOnly() const { return readOnly_; }

    // Runs f with the connection locked. Raises 3420 once closed. An error
    // leaving f first commits the updates already made, so a failure never
    // takes earlier work with it.
    template <class F>
    auto run(F&& f) -> std::invoke_result_t<F&>;

    // Commits and closes; on a failed commit that kept the transaction, the
    // connection stays open and the error is raised.
    void close();
    // The API object let go without Close: make pending updates durable, quietly.
    void release() noexcept;

    // The members below are for code running inside run().
    sqlite3_stmt* cached(const QByteArray& sql, Op op);
    Statement prepare(const QByteArray& sql, Op op);
    std::shared_ptr<const TableInfo> table(const QString& name); // nullptr when absent
    // Starts the implicit transaction if none is open and arms the commit timer.
    void beginWrite();
    // The rowids, in rowid order, of the rows whose `column` (without text
    // affinity) equals `number`, answered from a KeyLookup; nothing when the
    // plain query must answer: the column leads an index (`indexed`) and has
    // been asked for only once, its lookup would not fit the budget, or only
    // SQLite can compare the number.
    std::optional<std::vector<std::int64_t>> lookupRows(const TableInfo& table, const Column& column, bool indexed,
                                                        const std::variant<std::int64_t, double>& number);
    // Called before this connection writes a column: lookups and rows read
    // ahead may no longer hold.
    void aboutToWrite(const TableInfo& table, const Column& column);
    std::uint64_t writeCount() const { return writeCount_; }

    // A write transaction is open: until it ends no other connection can
    // change the file.
    bool writing() const { return pending(); }
    // Notices commits by other connections (PRAGMA data_version), dropping
    // what they may have made stale. Only needed while not writing.
    void observeOthers();
    // Moves whenever a commit by another connection has been noticed. Rows
    // read while it stood still still exist: this engine deletes none.
    std::uint64_t epoch() const { return epoch_; }

    // Whether an update may be held: the write transaction has made one
    // write already, so a file or folder that refuses writes (or the journal)
    // has shown it at that Update rather than at the commit.
    bool mayHold() const { return pending() && wroteInTransaction_; }
    void wroteDirectly() { wroteInTransaction_ = true; }
    // Holds an update (see PendingWrites) for the open write transaction;
    // the caller has made sure it cannot fail on a constraint.
    void hold(const QByteArray& sql, std::int64_t rowid, const std::vector<const vb::Variant*>& values);
    // Applies the held updates now; raises what applying them raised.
    void flushHeld();

    std::shared_ptr<ShapeCache>& shapeCache() { return shapeCache_; }

    vb::RuntimeError error(int rc, Op op, const QStringList& fields = {}) const;
    [[noreturn]] void fail(int rc, Op op, const QStringList& fields = {}) const;
    int check(int rc, Op op, const QStringList& fields = {}) const {
        if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
            fail(rc, op, fields);
        return rc;
    }
    sqlite3* handle() const { return db_.get(); }

private:
    using Clock = std::chrono::steady_clock;

    Connection(QString path, bool readOnly);
    void connect(const std::optional<QString>& password, bool exclusive);
    void enter();
    // A batch in flight belongs to an open transaction (and the handle is not
    // ours to ask meanwhile).
    bool pending() const { return applyingNow_ || (db_ && !sqlite3_get_autocommit(db_.get())); }
    int commitLocked();
    void commitQuietly() noexcept;
    void defer(int rc) noexcept;
    void closeLocked() noexcept;
    void stopTimer() noexcept;
    void timerLoop(std::stop_token stop);
    int applyHeld() noexcept; // the first failure's result code, or SQLITE_OK
    int applyArranged(PendingWrites& writes);
    int statementsFor(const PendingWrites& writes, std::vector<sqlite3_stmt*>& out);
    bool batchReady() const;
    void applyBatch(std::unique_lock<std::mutex>& lock) noexcept;
    void settle() noexcept;
    Clock::duration commitDelay() const;
    bool systemErrorIs(std::initializer_list<int> numbers) const; // the OS error behind the last failure
    bool folderTakesNewFiles() const;                              // whether a journal could be created beside the file

    QString path_;
    bool readOnly_;
    Handle db_;
    std::map<QByteArray, Statement> statements_;
    std::map<QString, std::shared_ptr<const TableInfo>> tables_;

    struct LookupSlot {
        QString table, column;
        std::optional<KeyLookup> lookup;
        int opens = 0;         // keyed opens since it was last dropped
        bool tooLarge = false; // over the budget until the file changes
        bool indexed = false;  // an index (or the primary key) starts with the column
    };
    std::vector<LookupSlot> lookups_; // few: one per column a run looks up
    std::vector<LookupSlot>::iterator slotOf(const TableInfo& table, const Column& column);
    std::size_t lookupBytes_ = 0;
    Statement dataVersion_;
    std::int64_t seenDataVersion_ = -1;
    std::int64_t seenSchemaVersion_ = -1;
    std::uint64_t epoch_ = 0;
    std::uint64_t writeCount_ = 0;
    PendingWrites held_;
    // Held updates taken by the timer thread: while applyingNow_, it applies
    // them without the mutex; after a failure, the ones not applied, which go
    // before held_.
    PendingWrites applying_;
    bool applyingNow_ = false;
    std::condition_variable_any settled_;
    bool flushing_ = false;
    bool wroteInTransaction_ = false;
    bool descendingPass_ = true; // the direction of the next pass of held updates
    bool writeCache_ = false;    // the cache has been enlarged for writing
    Clock::duration lastCommit_{}; // how long the previous commit took
    std::shared_ptr<ShapeCache> shapeCache_;
    bool commitJustFailed_ = false; // the last thing done was a commit that failed and kept the transaction

    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::optional<Clock::time_point> commitDue_;
    std::optional<vb::RuntimeError> deferred_; // a commit failure the timer met, raised at the next call
    std::jthread timer_;                       // last member: stopped before anything it uses goes away
};

// One execution of a cached or owned statement; the statement is reset and its
// bindings cleared on destruction, so no read lock outlives the call.
class Query {
public:
    Query(const Connection& connection, sqlite3_stmt* stmt, Op op, QStringList fields = {})
        : connection_(connection), stmt_(stmt), op_(op), fields_(std::move(fields)) {}
    ~Query() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(int index, const vb::Variant& value) {
        connection_.check(bindValue(stmt_, index, value), op_);
        return *this;
    }
    // true while there is a result row.
    bool next() { return connection_.check(sqlite3_step(stmt_), op_, fields_) == SQLITE_ROW; }
    vb::Variant value(int column) const { return columnValue(stmt_, column); }
    std::int64_t int64(int column) const { return sqlite3_column_int64(stmt_, column); }

private:
    const Connection& connection_;
    sqlite3_stmt* stmt_;
    Op op_;
    QStringList fields_;
};

template <class F>
auto Connection::run(F&& f) -> std::invoke_result_t<F&> {
    std::unique_lock lock(mutex_);
    enter();
    try {
        return f();
    } catch (...) {
        commitQuietly();
        throw;
    }
}

} // namespace dao::detail
