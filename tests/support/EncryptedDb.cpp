#include "tests/support/EncryptedDb.h"

#include <sqlcipher/sqlite3.h>

#include <QFile>
#include <gtest/gtest.h>

namespace testsupport {

namespace {

int openFlags(RawDb::Mode mode) {
    // Full mutex: a test may hand the connection to a thread of its own.
    switch (mode) {
    case RawDb::Mode::ReadOnly: return SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX;
    case RawDb::Mode::ReadWrite: return SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
    case RawDb::Mode::Create: break;
    }
    return SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
}

QString textOf(sqlite3_stmt* stmt, int i) {
    return sqlite3_column_type(stmt, i) == SQLITE_NULL
               ? kNull
               : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)));
}

} // namespace

void RawDb::Closer::operator()(sqlite3* db) const noexcept {
    sqlite3_close_v2(db);
}

RawDb::RawDb(const QString& path, const QString& key, Mode mode) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, openFlags(mode), nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) {
        ADD_FAILURE() << "open " << path.toStdString() << ": " << (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
        return;
    }
    if (!key.isEmpty()) {
        const QByteArray k = key.toUtf8();
        // The format the program's files have always had.
        if (sqlite3_key(raw, k.constData(), static_cast<int>(k.size())) != SQLITE_OK ||
            sqlite3_exec(raw, "PRAGMA cipher_compatibility = 3", nullptr, nullptr, nullptr) != SQLITE_OK)
            ADD_FAILURE() << "key " << path.toStdString() << ": " << sqlite3_errmsg(raw);
    }
    sqlite3_busy_timeout(raw, 2000);
}

int RawDb::tryExec(const QString& sql) {
    return sqlite3_exec(db_.get(), sql.toUtf8().constData(), nullptr, nullptr, nullptr);
}

void RawDb::exec(const QString& sql) {
    if (tryExec(sql) != SQLITE_OK)
        ADD_FAILURE() << sqlite3_errmsg(db_.get()) << " in " << sql.toStdString();
}

QStringList RawDb::read(const QString& sql, bool firstColumnOnly) {
    QStringList rows;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.toUtf8().constData(), -1, &raw, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(db_.get()) << " in " << sql.toStdString();
        return rows;
    }
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        const int columns = firstColumnOnly ? 1 : sqlite3_column_count(raw);
        QStringList values;
        for (int i = 0; i < columns; ++i)
            values << textOf(raw, i);
        rows << values.join(QLatin1Char('|'));
    }
    if (rc != SQLITE_DONE)
        ADD_FAILURE() << sqlite3_errmsg(db_.get()) << " in " << sql.toStdString();
    return rows;
}

QStringList RawDb::rows(const QString& sql) {
    return read(sql, false);
}

QStringList RawDb::column(const QString& sql) {
    return read(sql, true);
}

void CreateDb(const QString& path, const QString& key, const QString& script) {
    RawDb(path, key, RawDb::Mode::Create).exec(QStringLiteral("BEGIN;") + script + QStringLiteral(";COMMIT;"));
}

QStringList QueryDb(const QString& path, const QString& key, const QString& sql, bool writable) {
    return RawDb(path, key, writable ? RawDb::Mode::ReadWrite : RawDb::Mode::ReadOnly).rows(sql);
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString() << ": " << file.errorString().toStdString();
        return {};
    }
    return file.readAll();
}

} // namespace testsupport
