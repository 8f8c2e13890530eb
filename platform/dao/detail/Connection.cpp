#include "platform/dao/detail/Connection.h"

#include "platform/dao/ErrorCodes.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <utility>

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
    if (pending())
        commitLocked(); // nowhere to report a failure from a destructor
    closeLocked();
}

std::shared_ptr<Connection> Connection::open(const QString& name, const QString& connect,
                                             bool exclusive, bool readOnly) {
    QString path = name;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.isEmpty() || path.contains(QChar(0)))
        vb::raise(err::kInvalidPath, QCoreApplication::translate("dao", "'%1' is not a valid path.").arg(path));

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
    const int flags = (readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_FULLMUTEX;
    const int rc = sqlite3_open_v2(path_.toUtf8().constData(), &raw, flags, nullptr);
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
    check(sqlite3_exec(db_.get(), "PRAGMA cache_size = -65536", nullptr, nullptr, nullptr), Op::Open);
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
    if (!db_)
        vb::raise(err::kObjectInvalid, QCoreApplication::translate("dao", "Object invalid or no longer set."));
    if (deferred_) {
        const vb::RuntimeError failure = std::move(*deferred_);
        deferred_.reset();
        throw failure;
    }
}

sqlite3_stmt* Connection::cached(const QByteArray& sql, Op op) {
    auto it = statements_.find(sql);
    if (it == statements_.end())
        it = statements_.emplace(sql, prepare(sql, op)).first;
    return it->second.get();
}

Statement Connection::prepare(const QByteArray& sql, Op op) {
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

std::vector<std::int64_t> Connection::numericCandidates(const TableInfo& table, const Column& column, double key) {
    {
        Query version(*this, cached("PRAGMA data_version", Op::Read), Op::Read);
        version.next();
        if (version.int64(0) != indexedDataVersion_) {
            numericIndexes_.clear();
            indexedDataVersion_ = version.int64(0);
        }
    }
    auto [it, added] = numericIndexes_.try_emplace({table.name, column.name});
    auto& entries = it->second;
    if (added) {
        // Keyed by the value as a double: SQLite compares an integer with a
        // real that way, and equal integers stay equal.
        const Statement scan =
            prepare("SELECT " + table.rowidName.toUtf8() + ", " + column.quotedName + " FROM " + table.quotedName,
                    Op::Read);
        Query rows(*this, scan.get(), Op::Read);
        while (rows.next()) {
            const int type = sqlite3_column_type(scan.get(), 1);
            if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
                entries.emplace_back(sqlite3_column_double(scan.get(), 1), rows.int64(0));
        }
        std::sort(entries.begin(), entries.end());
    }
    const auto [first, last] = std::equal_range(entries.begin(), entries.end(), std::pair(key, std::int64_t{0}),
                                                [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::int64_t> rowids;
    for (auto i = first; i != last; ++i)
        rowids.push_back(i->second);
    return rowids;
}

void Connection::aboutToWrite(const TableInfo& table, const Column& column) {
    numericIndexes_.erase({table.name, column.name});
    ++writeCount_;
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
    commitDue_ = Clock::now() + kCommitDelay;
    if (!timer_.joinable())
        timer_ = std::jthread([this](std::stop_token stop) { timerLoop(stop); });
    wake_.notify_all();
}

int Connection::commitLocked() {
    const int rc = sqlite3_exec(db_.get(), "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK || !pending())
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
        if (!commitDue_) {
            wake_.wait(lock, stop, [this] { return commitDue_.has_value(); });
            continue;
        }
        const Clock::time_point due = *commitDue_;
        if (wake_.wait_until(lock, stop, due, [&] { return commitDue_ != due; }) || stop.stop_requested())
            continue;
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
    statements_.clear();
    tables_.clear();
    numericIndexes_.clear();
    db_.reset();
    commitDue_.reset();
    wake_.notify_all();
}

void Connection::close() {
    std::unique_lock lock(mutex_);
    if (!db_)
        vb::raise(err::kObjectInvalid, QCoreApplication::translate("dao", "Object invalid or no longer set."));
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
                        QCoreApplication::translate("dao", "Not a valid password for '%1'.").arg(path_));
        return make(err::kUnrecognizedFormat,
                    QCoreApplication::translate("dao", "Unrecognized database format '%1'.").arg(path_));
    }
    case SQLITE_READONLY:
        return make(err::kReadOnly,
                    QCoreApplication::translate("dao", "Cannot update. Database or object is read-only ('%1').")
                        .arg(path_));
    case SQLITE_CANTOPEN:
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
