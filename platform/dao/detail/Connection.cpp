#include "platform/dao/detail/Connection.h"

#include "platform/dao/ErrorCodes.h"
#include "platform/dao/detail/JournalVfs.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <utility>

#include <unistd.h>

namespace dao::detail {

namespace fs = std::filesystem;

namespace {

std::atomic<int> g_busyTimeoutMs{5000};

// SQLCipher 3 encrypts in 1024-byte pages: an encrypted file is never shorter,
// and a file that is not a whole number of pages cannot be one of ours.
constexpr std::uintmax_t kCipherPageSize = 1024;
const QByteArray kPlainHeader("SQLite format 3\0", 16);

QString fieldFromMessage(const QString& message) {
    // "NOT NULL constraint failed: table.column"
    const qsizetype colon = message.lastIndexOf(QLatin1Char(':'));
    QString field = message.mid(colon + 1).trimmed();
    const qsizetype dot = field.indexOf(QLatin1Char('.'));
    return dot >= 0 ? field.mid(dot + 1) : field;
}

} // namespace

void setBusyTimeout(std::chrono::milliseconds timeout) {
    g_busyTimeoutMs = static_cast<int>(timeout.count());
}

std::chrono::milliseconds busyTimeout() {
    return std::chrono::milliseconds(g_busyTimeoutMs.load());
}

std::optional<QString> passwordFromConnect(const QString& connect) {
    std::optional<QString> password;
    for (const QString& part : connect.split(QLatin1Char(';'))) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq > 0 && part.left(eq).trimmed().compare(QLatin1String("pwd"), Qt::CaseInsensitive) == 0)
            password = part.mid(eq + 1);
    }
    return password;
}

int TableInfo::columnIndex(const QString& column) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name.compare(column, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

QByteArray quoteIdentifier(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return '"' + quoted.toUtf8() + '"';
}

Connection::Connection(QString path, bool readOnly) : path_(std::move(path)), readOnly_(readOnly) {}

Connection::~Connection() {
    stopTimer();
    std::lock_guard lock(mutex_);
    // Nowhere to report a failure from a destructor. A commit that has just
    // waited out the whole busy timeout in vain is not tried again at once:
    // each try may wait that long, and the caller is owed a bounded wait.
    if (pending() && !commitJustFailed_)
        commitLocked();
    closeLocked();
}

std::shared_ptr<Connection> Connection::open(const QString& name, const QString& connect,
                                             bool exclusive, bool readOnly) {
    QString path = name;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.isEmpty() || path.contains(QChar(0)))
        vb::raise(err::kInvalidPath, QCoreApplication::translate("dao", "'%1' is not a valid path.").arg(path));
    // The library turns away longer full paths (room kept for its "-journal"
    // suffix) with a bare "cannot open", even when the file is there.
    const qsizetype limit = sqlite3_vfs_find(nullptr) ? sqlite3_vfs_find(nullptr)->mxPathname - 8 : 0;
    const qsizetype length = path.startsWith(QLatin1Char('/'))
                                 ? path.toUtf8().size()
                                 : QDir::currentPath().toUtf8().size() + 1 + path.toUtf8().size();
    if (limit > 0 && length > limit)
        vb::raise(err::kInvalidPath,
                  QCoreApplication::translate("dao", "The path '%1' is too long: the database engine takes full "
                                                     "paths of at most %2 bytes, this one has %3.")
                      .arg(path)
                      .arg(limit)
                      .arg(length));

    // Check before SQLite sees the path: it must never get the chance to
    // create a file, and an empty file would be taken for an empty database.
    const fs::path file(path.toStdString());
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (fs::is_directory(status))
        vb::raise(err::kCannotOpenFile,
                  QCoreApplication::translate("dao", "Cannot open '%1': it is a folder, not a database file.").arg(path));
    if (!fs::exists(status)) {
        const fs::path parent = file.parent_path().empty() ? fs::path(".") : file.parent_path();
        if (fs::is_directory(parent, ec))
            vb::raise(err::kFileNotFound, QCoreApplication::translate("dao", "Could not find file '%1'.").arg(path));
        vb::raise(err::kInvalidPath, QCoreApplication::translate("dao", "'%1' is not a valid path.").arg(path));
    }
    const std::uintmax_t size = fs::is_regular_file(status) ? fs::file_size(file, ec) : 0;
    std::ifstream probe(file, std::ios::binary);
    if (!fs::is_regular_file(status) || ec || !probe)
        vb::raise(err::kCannotOpenFile, QCoreApplication::translate("dao", "Cannot open the file '%1'.").arg(path));
    QByteArray header(kPlainHeader.size(), '\0');
    probe.read(header.data(), header.size());
    if (probe.gcount() == header.size() && header == kPlainHeader)
        vb::raise(err::kUnrecognizedFormat,
                  QCoreApplication::translate("dao", "Unrecognized database format '%1'. It is a plain SQLite "
                                                     "database, not an encrypted database of this program.")
                      .arg(path));
    if (size < kCipherPageSize)
        vb::raise(err::kUnrecognizedFormat,
                  QCoreApplication::translate("dao", "Unrecognized database format '%1'.").arg(path));
    probe.close();

    std::shared_ptr<Connection> connection(new Connection(path, readOnly));
    connection->connect(passwordFromConnect(connect), exclusive);
    return connection;
}

void Connection::connect(const std::optional<QString>& password, bool exclusive) {
    sqlite3* raw = nullptr;
    // The handle is only ever used by one thread at a time (with mutex_ held,
    // or by the timer's batch while everyone else waits for it), so the
    // library's own lock on every call would only cost time.
    const int flags = (readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path_.toUtf8().constData(), &raw, flags, journalVfsName());
    db_.reset(raw); // a handle comes back even on failure and must be closed
    check(rc, Op::Open);
    // Without a password the file is opened unkeyed: plain files were turned
    // away above, so an encrypted file then fails as a wrong password.
    if (password && !password->isEmpty()) {
        const QByteArray key = password->toUtf8();
        check(sqlite3_key(db_.get(), key.constData(), static_cast<int>(key.size())), Op::Open);
    }
    check(sqlite3_busy_timeout(db_.get(), static_cast<int>(busyTimeout().count())), Op::Open);

    // Reading the schema is the first use of the key; a wrong one shows here.
    {
        Statement probe = prepare("SELECT count(*) FROM sqlite_master", Op::Open);
        Query(*this, probe.get(), Op::Open).next();
    }
    // Pages are cached as they are read, so the cap costs nothing on small
    // files; it holds a file of some 100,000 buildings whole. A file being
    // written gets more (beginWrite). Together they keep a run's two files
    // and its lookups well inside 200 MiB.
    check(sqlite3_exec(db_.get(), "PRAGMA cache_size = -16384", nullptr, nullptr, nullptr), Op::Open);
    check(sqlite3_exec(db_.get(), "PRAGMA temp_store = MEMORY", nullptr, nullptr, nullptr), Op::Open);
    if (exclusive) {
        check(sqlite3_exec(db_.get(), "PRAGMA locking_mode = EXCLUSIVE", nullptr, nullptr, nullptr), Op::Open);
        if (!readOnly_) {
            // An empty exclusive transaction takes the lock now and, in this
            // locking mode, keeps it until the file is closed.
            check(sqlite3_exec(db_.get(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), Op::Open);
            check(sqlite3_exec(db_.get(), "COMMIT", nullptr, nullptr, nullptr), Op::Open);
        }
    }
}

void Connection::enter() {
    commitJustFailed_ = false;
    if (!db_)
        vb::raise(err::kObjectInvalid, QCoreApplication::translate("dao", "Object invalid or no longer set."));
    if (deferred_) {
        const vb::RuntimeError failure = std::move(*deferred_);
        deferred_.reset();
        throw failure;
    }
}

sqlite3_stmt* Connection::cached(const QByteArray& sql, Op op) {
    flushHeld(); // whatever the statement reads must see the held updates
    auto it = statements_.find(sql);
    if (it == statements_.end())
        it = statements_.emplace(sql, prepare(sql, op)).first;
    return it->second.get();
}

Statement Connection::prepare(const QByteArray& sql, Op op) {
    flushHeld();
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db_.get(), sql.constData(), static_cast<int>(sql.size()), &raw, nullptr);
    Statement statement(raw);
    check(rc, op);
    return statement;
}

std::shared_ptr<const TableInfo> Connection::table(const QString& name) {
    if (auto it = tables_.find(name); it != tables_.end())
        return it->second;

    auto info = std::make_shared<TableInfo>();
    {
        Query lookup(*this,
                     cached("SELECT type, name FROM sqlite_master WHERE type IN ('table', 'view') "
                            "AND name = ?1 COLLATE NOCASE",
                            Op::Read),
                     Op::Read);
        lookup.bind(1, vb::Variant(name));
        if (!lookup.next())
            return nullptr;
        info->isView = lookup.value(0).toText() == QLatin1String("view");
        info->name = lookup.value(1).toText();
    }
    info->quotedName = quoteIdentifier(info->name);
    const QByteArray& quoted = info->quotedName;
    {
        const Statement shape = prepare("SELECT * FROM " + quoted, Op::Read);
        const int count = sqlite3_column_count(shape.get());
        for (int i = 0; i < count; ++i) {
            // SQLite's affinity rules: INT first, then CHAR, CLOB or TEXT.
            const QString type = QString::fromUtf8(sqlite3_column_decltype(shape.get(), i)).toUpper();
            const bool text = !type.contains(QLatin1String("INT")) &&
                              (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB")) ||
                               type.contains(QLatin1String("TEXT")));
            const QString name = QString::fromUtf8(sqlite3_column_name(shape.get(), i));
            info->columns.push_back({name, quoteIdentifier(name), text});
        }
    }
    if (!info->isView) {
        // A column may shadow one of the rowid's names; a WITHOUT ROWID table
        // has none, and then preparing the probe fails.
        for (const char* alias : {"rowid", "_rowid_", "oid"}) {
            if (info->columnIndex(QLatin1String(alias)) >= 0)
                continue;
            sqlite3_stmt* raw = nullptr;
            const QByteArray sql = QByteArray("SELECT ") + alias + " FROM " + quoted;
            const int rc = sqlite3_prepare_v2(db_.get(), sql.constData(), -1, &raw, nullptr);
            Statement owned(raw);
            if (rc == SQLITE_OK)
                info->rowidName = QLatin1String(alias);
            break;
        }
    }
    tables_.emplace(name, info);
    return info;
}

void Connection::observeOthers() {
    if (!dataVersion_) {
        sqlite3_stmt* raw = nullptr;
        const int rc = sqlite3_prepare_v2(db_.get(), "PRAGMA data_version", -1, &raw, nullptr);
        dataVersion_.reset(raw);
        check(rc, Op::Read);
    }
    Query version(*this, dataVersion_.get(), Op::Read);
    version.next();
    const std::int64_t seen = version.int64(0);
    if (seen == seenDataVersion_)
        return;
    seenDataVersion_ = seen;
    ++epoch_;
    lookups_.clear();
    lookupBytes_ = 0;
    // A new index, trigger or table changes which updates may be held.
    Query schema(*this, cached("PRAGMA schema_version", Op::Read), Op::Read);
    if (schema.next() && schema.int64(0) != seenSchemaVersion_) {
        if (seenSchemaVersion_ >= 0) {
            shapeCache_.reset();
            tables_.clear();
        }
        seenSchemaVersion_ = schema.int64(0);
    }
}

std::vector<Connection::LookupSlot>::iterator Connection::slotOf(const TableInfo& table, const Column& column) {
    return std::find_if(lookups_.begin(), lookups_.end(), [&](const LookupSlot& s) {
        return s.column == column.name && s.table == table.name;
    });
}

std::optional<std::vector<std::int64_t>> Connection::lookupRows(const TableInfo& table, const Column& column,
                                                                bool indexed,
                                                                const std::variant<std::int64_t, double>& number) {
    auto found = slotOf(table, column);
    if (found == lookups_.end())
        found = lookups_.insert(lookups_.end(), LookupSlot{table.name, column.name, std::nullopt, 0, false, indexed});
    LookupSlot& slot = *found;
    if (!slot.lookup) {
        // With an index a single query is the plain query's job, and the
        // second of a shape suggests a run of them, which one pass over the
        // table serves. Without one the plain query is that pass already.
        if (slot.tooLarge || ++slot.opens < (slot.indexed ? 2 : 1))
            return std::nullopt;
        const std::size_t budget = lookupBudget();
        std::size_t expected = 0;
        {
            // The rowid range bounds the row count; tables are mostly dense.
            const Statement range = prepare("SELECT max(" + table.rowidName.toUtf8() + ") - min(" +
                                                table.rowidName.toUtf8() + ") + 1 FROM " + table.quotedName,
                                            Op::Read);
            Query span(*this, range.get(), Op::Read);
            if (span.next() && span.int64(0) > 0)
                expected = static_cast<std::size_t>(std::min<std::int64_t>(span.int64(0), 1 << 26));
        }
        const Statement scan =
            prepare("SELECT " + table.rowidName.toUtf8() + ", " + column.quotedName + " FROM " + table.quotedName,
                    Op::Read);
        Query rows(*this, scan.get(), Op::Read);
        slot.lookup = KeyLookup::build(
            scan.get(), [&rows] { return rows.next(); }, expected, budget > lookupBytes_ ? budget - lookupBytes_ : 0);
        if (!slot.lookup) {
            slot.tooLarge = true;
            return std::nullopt;
        }
        lookupBytes_ += slot.lookup->bytes();
    }
    std::vector<std::int64_t> rowids;
    if (!slot.lookup->find(number, rowids))
        return std::nullopt;
    return rowids;
}

void Connection::aboutToWrite(const TableInfo& table, const Column& column) {
    const auto it = slotOf(table, column);
    if (it != lookups_.end()) {
        if (it->lookup)
            lookupBytes_ -= it->lookup->bytes();
        lookups_.erase(it);
    }
    ++writeCount_;
}

namespace {

// Held updates go to the timer thread in batches of at least this many; a
// batch takes all that are held, so batches grow when the caller is faster.
constexpr std::size_t kBatch = 256;
// The page cache of a file being written (beginWrite).
constexpr std::int64_t kWriteCacheKiB = 48 * 1024;

std::atomic<std::uint64_t> g_batched{0};

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

std::uint64_t updatesAppliedInBatches() {
    return g_batched.load();
}

void Connection::hold(const QByteArray& sql, std::int64_t rowid, const std::vector<const vb::Variant*>& values) {
    held_.add(sql, rowid, values);
    if (held_.size() == kBatch)
        wake_.notify_all();
    // Memory stays bounded: past this the updates go into the transaction now.
    constexpr std::size_t kHeldBudget = 32u << 20;
    if (held_.bytes() > kHeldBudget)
        flushHeld();
}

void Connection::flushHeld() {
    if (flushing_)
        return;
    if (const int rc = applyHeld(); rc != SQLITE_OK)
        fail(rc, Op::Write);
}

void Connection::settle() noexcept {
    // The mutex is free while this waits, so the timer may also commit or
    // start another batch meanwhile: callers look at the transaction afresh
    // afterwards, never at what they saw before.
    while (applyingNow_)
        settled_.wait(mutex_); // the caller holds mutex_
}

int Connection::statementsFor(const PendingWrites& writes, std::vector<sqlite3_stmt*>& out) {
    out.clear();
    for (const QByteArray& sql : writes.statements()) {
        auto it = statements_.find(sql);
        if (it == statements_.end()) {
            sqlite3_stmt* raw = nullptr;
            const int rc = sqlite3_prepare_v2(db_.get(), sql.constData(), static_cast<int>(sql.size()), &raw, nullptr);
            Statement statement(raw);
            if (rc != SQLITE_OK)
                return rc;
            it = statements_.emplace(sql, std::move(statement)).first;
        }
        out.push_back(it->second.get());
    }
    return SQLITE_OK;
}

int Connection::applyArranged(PendingWrites& writes) {
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

int Connection::applyHeld() noexcept {
    if (flushing_)
        return SQLITE_OK;
    settle();
    if (held_.empty() && applying_.empty())
        return SQLITE_OK;
    if (!pending()) {
        // The transaction they belonged to was rolled back.
        applying_.clear();
        held_.clear();
        return SQLITE_OK;
    }
    flushing_ = true;
    int rc = SQLITE_OK;
    try {
        // What a batch left unapplied came first.
        rc = applyArranged(applying_);
        if (rc == SQLITE_OK && !held_.empty()) {
            // Each pass runs the other way: the pages the last one (or the
            // scan that built a lookup) touched last are the ones still
            // cached, so on a file larger than the cache they are the ones
            // to start with.
            held_.arrange(descendingPass_);
            descendingPass_ = !descendingPass_;
            rc = applyArranged(held_);
        }
    } catch (const std::bad_alloc&) {
        rc = SQLITE_NOMEM;
    }
    flushing_ = false;
    if (rc != SQLITE_OK && !pending()) {
        applying_.clear(); // lost with the transaction SQLite rolled back
        held_.clear();
    }
    return rc;
}

bool Connection::batchReady() const {
    return held_.size() >= kBatch && applying_.empty() && !flushing_ && !deferred_ && pending();
}

void Connection::applyBatch(std::unique_lock<std::mutex>& lock) noexcept {
    // The caller goes on meanwhile: holding more updates, opening recordsets
    // from a lookup, none of which touches the handle; whatever would, waits.
    std::swap(applying_, held_);
    int rc = SQLITE_OK;
    std::size_t applied = 0;
    try {
        std::vector<sqlite3_stmt*> statements;
        rc = statementsFor(applying_, statements);
        if (rc == SQLITE_OK) {
            applyingNow_ = true;
            lock.unlock();
            applying_.arrange();
            std::tie(rc, applied) = stepAll(applying_, statements);
            g_batched.fetch_add(applied, std::memory_order_relaxed);
        }
    } catch (const std::bad_alloc&) {
        rc = SQLITE_NOMEM;
    }
    if (!lock.owns_lock())
        lock.lock();
    applyingNow_ = false;
    if (rc == SQLITE_OK) {
        applying_.clear();
    } else {
        if (pending()) {
            applying_.dropApplied(applied); // tried again before the held ones
        } else {
            applying_.clear();
            held_.clear();
        }
        defer(rc); // raised at the next call
    }
    settled_.notify_all();
}

std::chrono::steady_clock::duration commitStartAfter(std::chrono::steady_clock::duration previousCommit) {
    // The previous commit's duration stands for this one's: starting that
    // much earlier, the updates are in the file when the delay is up.
    using Duration = std::chrono::steady_clock::duration;
    const Duration delay = std::max<Duration>(kCommitDelay, kCommitDelayFactor * previousCommit);
    return delay - std::min(previousCommit, delay / 2);
}

Connection::Clock::duration Connection::commitDelay() const {
    return commitStartAfter(lastCommit_);
}

void Connection::beginWrite() {
    if (readOnly_)
        vb::raise(err::kReadOnly,
                  QCoreApplication::translate("dao", "Cannot update. The database '%1' is opened read-only.").arg(path_));
    if (pending())
        return;
    // IMMEDIATE takes the write lock now, so a busy file fails here, before
    // any row has changed, instead of deadlocking halfway.
    check(sqlite3_exec(db_.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), Op::Write);
    wroteInTransaction_ = false;
    if (!writeCache_) {
        // Updates come in random order and are applied in passes over the
        // file: the more of it stays cached between passes, the fewer pages
        // are read and decrypted again.
        const QByteArray pragma = "PRAGMA cache_size = -" + QByteArray::number(kWriteCacheKiB);
        check(sqlite3_exec(db_.get(), pragma.constData(), nullptr, nullptr, nullptr), Op::Write);
        writeCache_ = true;
    }
    commitDue_ = Clock::now() + commitDelay();
    observeOthers(); // from here until the commit nobody else can change the file
    if (!timer_.joinable())
        timer_ = std::jthread([this](std::stop_token stop) { timerLoop(stop); });
    wake_.notify_all();
}

int Connection::commitLocked() {
    const Clock::time_point start = Clock::now();
    int rc = applyHeld();
    if (rc == SQLITE_OK && !pending())
        return rc; // a batch failed and SQLite rolled back; its error is deferred
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db_.get(), "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        lastCommit_ = Clock::now() - start;
    commitJustFailed_ = rc != SQLITE_OK && pending();
    if (commitJustFailed_)
        commitDue_ = Clock::now() + kCommitDelay; // locked out: the timer tries again later, not straight after
    else
        commitDue_.reset();
    return rc;
}

void Connection::commitQuietly() noexcept {
    if (!pending())
        return;
    const int rc = commitLocked();
    if (rc != SQLITE_OK && !pending())
        defer(rc);
}

void Connection::defer(int rc) noexcept {
    // The updates are gone: say so at the next call.
    try {
        if (!deferred_)
            deferred_ = error(rc, Op::Write);
    } catch (...) {
    }
}

void Connection::timerLoop(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        // A commit that is due goes first: while updates keep coming there is
        // always another batch ready, and the bound must hold all the same.
        if (!commitDue_ || Clock::now() < *commitDue_) {
            if (batchReady()) {
                applyBatch(lock);
                continue;
            }
            if (!commitDue_) {
                wake_.wait(lock, stop, [this] { return commitDue_.has_value() || batchReady(); });
                continue;
            }
            const Clock::time_point due = *commitDue_;
            wake_.wait_until(lock, stop, due, [&] { return commitDue_ != due || batchReady(); });
            continue;
        }
        if (!pending()) {
            commitDue_.reset();
            continue;
        }
        const int rc = commitLocked();
        if (rc == SQLITE_OK)
            continue;
        if (pending())
            commitDue_ = Clock::now() + kCommitDelay; // still locked out: try again later
        else
            defer(rc);
    }
}

void Connection::stopTimer() noexcept {
    if (!timer_.joinable())
        return;
    timer_.request_stop();
    try {
        timer_.join();
    } catch (...) {
    }
}

void Connection::closeLocked() noexcept {
    held_.clear();
    applying_.clear();
    shapeCache_.reset();
    dataVersion_.reset();
    statements_.clear();
    tables_.clear();
    lookups_.clear();
    lookupBytes_ = 0;
    db_.reset();
    commitDue_.reset();
    wake_.notify_all();
}

void Connection::close() {
    std::unique_lock lock(mutex_);
    if (!db_)
        vb::raise(err::kObjectInvalid, QCoreApplication::translate("dao", "Object invalid or no longer set."));
    settle(); // a batch in flight may yet fail
    std::optional<vb::RuntimeError> failure = std::exchange(deferred_, std::nullopt);
    if (pending()) {
        const int rc = commitLocked();
        if (rc != SQLITE_OK) {
            failure = error(rc, Op::Write);
            if (pending())
                throw *failure; // still open with the updates; Close again or release retries
        }
    }
    closeLocked();
    lock.unlock();
    stopTimer();
    if (failure)
        throw *failure;
}

void Connection::release() noexcept {
    try {
        std::lock_guard lock(mutex_);
        commitQuietly();
    } catch (...) {
    }
}

void Connection::fail(int rc, Op op, const QStringList& fields) const {
    throw error(rc, op, fields);
}

bool Connection::folderTakesNewFiles() const {
    // The library retries a refused journal read-only, so its error number
    // tells of the retry; ask the folder itself.
    const fs::path folder = fs::path(path_.toStdString()).parent_path();
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
}

bool Connection::systemErrorIs(std::initializer_list<int> numbers) const {
    const int number = db_ ? sqlite3_system_errno(db_.get()) : 0;
    return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

vb::RuntimeError Connection::error(int rc, Op op, const QStringList& fields) const {
    int code = rc;
    QString message = QString::fromUtf8(sqlite3_errstr(rc));
    if (db_ && (sqlite3_extended_errcode(db_.get()) & 0xff) == (rc & 0xff)) {
        code = sqlite3_extended_errcode(db_.get());
        message = QString::fromUtf8(sqlite3_errmsg(db_.get()));
    }
    const auto make = [](int number, const QString& description) { return vb::RuntimeError(number, description); };

    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        if (op == Op::Write)
            return make(err::kUpdateLocked,
                        QCoreApplication::translate("dao", "Could not update; '%1' is currently locked by another "
                                                           "user or process.")
                            .arg(path_));
        if (op == Op::Open)
            return make(err::kFileInUse,
                        QCoreApplication::translate("dao", "Could not use '%1'; file already in use.").arg(path_));
        return make(err::kLocked,
                    QCoreApplication::translate("dao", "Could not read; '%1' is currently locked by another "
                                                       "user or process.")
                        .arg(path_));
    case SQLITE_FULL:
        return make(err::kDiskFull,
                    QCoreApplication::translate("dao", "Not enough space on disk for '%1'.").arg(path_));
    case SQLITE_IOERR:
        // A write refused for want of space (or past the file size limit)
        // is reported by the library as a plain I/O error.
        if (systemErrorIs({ENOSPC, EFBIG, EDQUOT}))
            return make(err::kDiskFull,
                        QCoreApplication::translate("dao", "Not enough space on disk for '%1'.").arg(path_));
        return make(err::kDiskOrNetworkError,
                    QCoreApplication::translate("dao", "Disk or network error on '%1'.").arg(path_));
    case SQLITE_CORRUPT:
        return make(err::kCorrupt,
                    QCoreApplication::translate("dao", "Cannot open database '%1'. The file may be damaged.").arg(path_));
    case SQLITE_NOTADB: {
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(fs::path(path_.toStdString()), ec);
        if (!ec && size > 0 && size % kCipherPageSize == 0)
            return make(err::kInvalidPassword,
                        QCoreApplication::translate("dao", "Not a valid password for '%1', or the file is damaged.").arg(path_));
        return make(err::kUnrecognizedFormat,
                    QCoreApplication::translate("dao", "Unrecognized database format '%1'.").arg(path_));
    }
    case SQLITE_READONLY:
        return make(err::kReadOnly,
                    QCoreApplication::translate("dao", "Cannot update. Database or object is read-only ('%1').")
                        .arg(path_));
    case SQLITE_CANTOPEN:
        // An update needs a journal beside the file; a folder that refuses
        // new files makes the database read-only, whatever the file allows.
        if (op == Op::Write && (systemErrorIs({EACCES, EPERM, EROFS}) || !folderTakesNewFiles()))
            return make(err::kReadOnly,
                        QCoreApplication::translate("dao", "Cannot update '%1': its folder is read-only, so the "
                                                           "journal an update needs cannot be created there.")
                            .arg(path_));
        [[fallthrough]];
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return make(err::kCannotOpenFile,
                    QCoreApplication::translate("dao", "Cannot open the file '%1'.").arg(path_));
    case SQLITE_MISMATCH:
        return make(err::kConversionError,
                    QCoreApplication::translate("dao", "Data type conversion error in '%1'.").arg(path_));
    case SQLITE_CONSTRAINT:
        switch (code) {
        case SQLITE_CONSTRAINT_NOTNULL:
            return make(err::kNullNotAllowed,
                        QCoreApplication::translate("dao", "The field '%1' cannot contain a Null value.")
                            .arg(fieldFromMessage(message)));
        case SQLITE_CONSTRAINT_CHECK:
            // The engine names only the rule or the table; the fields being
            // written are what the user can act on.
            return make(err::kValidationRule,
                        QCoreApplication::translate("dao", "One or more values are prohibited by the validation "
                                                           "rule set for '%1'.")
                            .arg(fields.isEmpty() ? fieldFromMessage(message) : fields.join(QLatin1String(", "))));
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY:
            return make(err::kDuplicateValue,
                        QCoreApplication::translate("dao", "The change would create a duplicate value in '%1', "
                                                           "which must be unique.")
                            .arg(fieldFromMessage(message)));
        case SQLITE_CONSTRAINT_FOREIGNKEY:
            return make(err::kRelatedRecordRequired,
                        QCoreApplication::translate("dao", "The change needs a related record that does not exist."));
        default:
            break;
        }
        break;
    default:
        break;
    }
    return make(err::kDatabaseError,
                QCoreApplication::translate("dao", "Database error in '%1': %2").arg(path_, message));
}

} // namespace dao::detail
