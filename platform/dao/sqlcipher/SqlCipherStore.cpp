#include "platform/dao/sqlcipher/SqlCipherStore.h"

#include "platform/dao/ConnectText.h"
#include "platform/dao/Errors.h"
#include "platform/dao/sqlcipher/JournalVfs.h"
#include "platform/dao/sqlcipher/Recordsets.h"

#include <atomic>
#include <stdexcept>

namespace dao::detail {

namespace {

std::atomic<int> g_busyTimeoutMs{5000};

} // namespace

void setBusyTimeout(std::chrono::milliseconds timeout) {
    g_busyTimeoutMs = static_cast<int>(timeout.count());
}

std::chrono::milliseconds busyTimeout() {
    return std::chrono::milliseconds(g_busyTimeoutMs.load());
}

qsizetype longestPath() {
    const sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    return vfs ? vfs->mxPathname - 8 : 0;
}

SqlCipherStore::SqlCipherStore(QString path, bool readOnly, Handle handle, InterruptCheckPtr interrupt)
    : readOnly_(readOnly),
      interruption_(std::move(interrupt)),
      guard_(std::move(handle)),
      codes_(guard_, std::move(path)),
      statements_(guard_, codes_),
      writer_(guard_, statements_, codes_, interruption_) {}

SqlCipherStore::~SqlCipherStore() {
    writer_.stopTimer();
    HandleGuard::Lock lock(guard_);
    // Nowhere to report a failure from a destructor. A commit that has just
    // waited out the whole busy timeout in vain is not tried again at once:
    // each try may wait that long, and the caller is owed a bounded wait.
    if (writer_.writing() && !writer_.commitJustFailed())
        writer_.commit();
    closeLocked();
}

std::shared_ptr<SqlCipherStore> SqlCipherStore::open(const ProbedFile& file, const QString& connect,
                                                     bool exclusive, bool readOnly, InterruptCheckPtr interrupt) {
    sqlite3* raw = nullptr;
    // The handle is only ever used by one thread at a time (through the
    // guard), so the library's own lock on every call would only cost time.
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(file.path.toUtf8().constData(), &raw, flags, journalVfsName());
    // A handle comes back even on failure and must be closed.
    std::shared_ptr<SqlCipherStore> store(new SqlCipherStore(file.path, readOnly, Handle(raw), std::move(interrupt)));
    HandleGuard::Lock lock(store->guard_);
    store->codes_.check(rc, Op::Open);
    store->connect(passwordFromConnect(connect), exclusive);
    return store;
}

void SqlCipherStore::connect(const std::optional<QString>& password, bool exclusive) {
    sqlite3* db = guard_.handle();
    installDefences(db);
    // Without a password the file is opened unkeyed: plain files were turned
    // away before, so an encrypted file then fails as a wrong password.
    if (password && !password->isEmpty()) {
        const QByteArray key = password->toUtf8();
        codes_.check(sqlite3_key(db, key.constData(), static_cast<int>(key.size())), Op::Open);
        // The files keep the format they have always had (and that older
        // tools read): set before the first read, or it is too late.
        codes_.check(sqlite3_exec(db, "PRAGMA cipher_compatibility = 3", nullptr, nullptr, nullptr), Op::Open);
    }
    codes_.check(sqlite3_busy_timeout(db, static_cast<int>(busyTimeout().count())), Op::Open);
    interruption_.install(db);

    // Reading the schema is the first use of the key; a wrong one shows here.
    {
        const Statement probe = statements_.prepare("SELECT count(*) FROM sqlite_master", Op::Open);
        Query(codes_, probe.get(), Op::Open).next();
    }
    // Pages are cached as they are read, so the cap costs nothing on small
    // files; it holds a file of some 100,000 buildings whole. A file being
    // written gets more (Writer::begin). Together they keep a run's two files
    // and its lookups well inside 200 MiB.
    codes_.check(sqlite3_exec(db, "PRAGMA cache_size = -16384", nullptr, nullptr, nullptr), Op::Open);
    codes_.check(sqlite3_exec(db, "PRAGMA temp_store = MEMORY", nullptr, nullptr, nullptr), Op::Open);
    if (exclusive) {
        codes_.check(sqlite3_exec(db, "PRAGMA locking_mode = EXCLUSIVE", nullptr, nullptr, nullptr), Op::Open);
        if (!readOnly_) {
            // An empty exclusive transaction takes the lock now and, in this
            // locking mode, keeps it until the file is closed.
            codes_.check(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), Op::Open);
            codes_.check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), Op::Open);
        }
    }
}

void SqlCipherStore::call(FunctionRef f) {
    HandleGuard::Lock lock(guard_);
    writer_.newCall();
    if (!guard_.open())
        throw errors::objectInvalid();
    if (std::optional<vb::RuntimeError> failure = writer_.takeDeferred())
        throw *failure;
    try {
        const Interruption::Allow interruptible(interruption_);
        f();
    } catch (const std::bad_alloc&) {
        writer_.commitQuietly();
        throw errors::outOfMemory(path());
    } catch (const std::length_error&) {
        writer_.commitQuietly();
        throw errors::outOfMemory(path());
    } catch (...) {
        writer_.commitQuietly();
        throw;
    }
}

std::unique_ptr<Cursor> SqlCipherStore::openRecordset(const QString& sql) {
    // Another connection's commit since our last look may have changed the
    // rows or the schema; while we write, nobody else can.
    if (!writer_.writing())
        observeOthers();
    return openSqlCipherRecordset(shared_from_this(), sql);
}

void SqlCipherStore::observeOthers() {
    const ChangeWatch::Changes changes = watch_.look(*this);
    if (changes.data)
        lookups_.clear();
    // A new index, trigger or table changes which updates may be held.
    if (changes.schema)
        schema_.invalidate();
}

void SqlCipherStore::updateRow(const KeysetShape& shape, std::int64_t rowid, const std::vector<bool>& assigned,
                               const std::vector<vb::Variant>& values, std::uint64_t keysEpoch) {
    const KeysetShape::Update& update = shape.update(assigned);
    const TableInfo& table = *shape.table;
    std::vector<const vb::Variant*> written;
    bool holdable = true;
    for (std::size_t i = 0; i < assigned.size(); ++i) {
        if (!assigned[i])
            continue;
        const auto column = static_cast<std::size_t>(shape.columns[i]);
        written.push_back(&values[i]);
        const HoldRule rule = table.holdRules[column];
        holdable = holdable && (rule == HoldRule::Always || (rule == HoldRule::UnlessNull && !values[i].isNull()));
        lookups_.forget(table, table.columns[column]);
        ++writeCount_;
    }
    if (readOnly_)
        throw errors::readOnlyDatabase(path());
    // From the transaction's start until its commit nobody else can change the file.
    if (writer_.begin())
        observeOthers();
    // Held only while the row is known to be there: then nothing can make
    // the update fail later that would not have made it fail now.
    writer_.update({update.sql, rowid, written, update.fields, holdable && keysEpoch == watch_.epoch()});
}

void SqlCipherStore::closeLocked() noexcept {
    writer_.discard();
    schema_.invalidate();
    lookups_.clear();
    statements_.clear();
    guard_.close();
}

void SqlCipherStore::close() {
    HandleGuard::Lock lock(guard_);
    if (!guard_.open())
        throw errors::objectInvalid();
    guard_.handle(); // a batch in flight may yet fail
    std::optional<vb::RuntimeError> failure = writer_.takeDeferred();
    if (writer_.writing()) {
        const int rc = writer_.commit();
        if (rc != SQLITE_OK) {
            failure = codes_.error(rc, Op::Write);
            if (writer_.writing())
                throw *failure; // still open with the updates; Close again or release retries
        }
    }
    closeLocked();
    lock.unlock();
    writer_.stopTimer();
    if (failure)
        throw *failure;
}

void SqlCipherStore::release() noexcept {
    try {
        HandleGuard::Lock lock(guard_);
        writer_.commitQuietly();
    } catch (...) {
    }
}

Statistics SqlCipherStore::statistics() const {
    return {lookups_.built(), lookups_.answers(), writer_.held(), writer_.batched()};
}

sqlite3_stmt* SqlCipherStore::cached(const QByteArray& sql, Op op) {
    writer_.flush();
    return statements_.cached(sql, op);
}

Statement SqlCipherStore::prepare(const QByteArray& sql, Op op) {
    writer_.flush();
    return statements_.prepare(sql, op);
}

int SqlCipherStore::tryPrepare(const QByteArray& sql, Statement& out, const char** tail) {
    writer_.flush();
    return statements_.tryPrepare(sql, out, tail);
}

} // namespace dao::detail
