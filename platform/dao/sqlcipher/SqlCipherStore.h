#pragma once
// An open SQLCipher file: keys and opens the handle, and puts together the
// parts that work on it (the guard, statements, schema, lookups, writer).
// Its recordsets (KeysetCursor, or a snapshot) reach the file through it.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/FileProbe.h"
#include "platform/dao/Store.h"
#include "platform/dao/sqlcipher/ChangeWatch.h"
#include "platform/dao/sqlcipher/Defences.h"
#include "platform/dao/sqlcipher/HandleGuard.h"
#include "platform/dao/sqlcipher/Interruption.h"
#include "platform/dao/sqlcipher/Lookups.h"
#include "platform/dao/sqlcipher/ResultCodes.h"
#include "platform/dao/sqlcipher/Schema.h"
#include "platform/dao/sqlcipher/Sql.h"
#include "platform/dao/sqlcipher/Writer.h"

#include <chrono>
#include <memory>

namespace dao::detail {

// How long a statement waits for another process's lock before it fails.
// Tests shorten it; the default is about five seconds.
void setBusyTimeout(std::chrono::milliseconds timeout);
std::chrono::milliseconds busyTimeout();

// The longest full path SQLite opens (room kept for its "-journal" suffix).
qsizetype longestPath();

class SqlCipherStore final : public Store, private Sql, public std::enable_shared_from_this<SqlCipherStore> {
public:
    static std::shared_ptr<SqlCipherStore> open(const ProbedFile& file, const QString& connect, bool exclusive,
                                                bool readOnly, InterruptCheckPtr interrupt);
    ~SqlCipherStore() override;

    void call(FunctionRef f) override;
    std::unique_ptr<Cursor> openRecordset(const QString& sql) override;
    void close() override;
    void release() noexcept override;
    const QString& path() const override { return codes_.path(); }
    Statistics statistics() const override;

    // For its recordsets, inside call().
    Sql& sql() { return *this; }
    Schema& schema() { return schema_; }
    bool readOnly() const { return readOnly_; }
    bool writing() { return writer_.writing(); }
    // Notices other connections' commits, dropping what they made stale;
    // only needed while not writing.
    void observeOthers();
    std::uint64_t epoch() const { return watch_.epoch(); }
    // Moves with every write of this store: rows read before may be stale.
    std::uint64_t writeCount() const { return writeCount_; }
    std::optional<std::vector<std::int64_t>> lookupRows(const TableInfo& table, const Column& column, bool indexed,
                                                        const std::variant<std::int64_t, double>& number) {
        return lookups_.rows(*this, table, column, indexed, number);
    }
    // The one way a row is written: the fields marked in `assigned` take
    // their `values`. `keysEpoch` is the epoch at which the row was known
    // to be there.
    void updateRow(const KeysetShape& shape, std::int64_t rowid, const std::vector<bool>& assigned,
                   const std::vector<vb::Variant>& values, std::uint64_t keysEpoch);

private:
    SqlCipherStore(QString path, bool readOnly, Handle handle, InterruptCheckPtr interrupt);
    void connect(const std::optional<QString>& password, bool exclusive);
    void closeLocked() noexcept;

    // Sql: everything read sees the held updates.
    sqlite3_stmt* cached(const QByteArray& sql, Op op) override;
    Statement prepare(const QByteArray& sql, Op op) override;
    int tryPrepare(const QByteArray& sql, Statement& out, const char** tail) override;
    const ResultCodes& codes() const override { return codes_; }

    bool readOnly_;
    Interruption interruption_;
    HandleGuard guard_;
    ResultCodes codes_;
    Statements statements_;
    Schema schema_;
    Lookups lookups_;
    ChangeWatch watch_;
    std::uint64_t writeCount_ = 0;
    Writer writer_; // last: its timer thread uses the others
};

} // namespace dao::detail
