#include "tests/support/EncryptedDb.h"

#include <sqlcipher/sqlite3.h>

#include <QFile>
#include <memory>
#include <stdexcept>

namespace testsupport {

namespace {

struct Closer {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
using Handle = std::unique_ptr<sqlite3, Closer>;

void check(sqlite3* db, int rc, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
        throw std::runtime_error(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
}

Handle open(const QString& path, const QString& key, int flags) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    Handle db(raw);
    check(db.get(), rc, "open");
    if (!key.isEmpty()) {
        const QByteArray k = key.toUtf8();
        check(db.get(), sqlite3_key(db.get(), k.constData(), static_cast<int>(k.size())), "key");
    }
    return db;
}

void exec(sqlite3* db, const QString& script) {
    char* error = nullptr;
    const int rc = sqlite3_exec(db, script.toUtf8().constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errstr(rc);
        sqlite3_free(error);
        throw std::runtime_error("exec: " + message);
    }
}

} // namespace

void CreateDb(const QString& path, const QString& key, const QString& script) {
    Handle db = open(path, key, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    exec(db.get(), script);
}

void ExecDb(const QString& path, const QString& key, const QString& script) {
    Handle db = open(path, key, SQLITE_OPEN_READWRITE);
    exec(db.get(), script);
}

QStringList QueryDb(const QString& path, const QString& key, const QString& sql, bool writable) {
    Handle db = open(path, key, writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
    sqlite3_stmt* raw = nullptr;
    check(db.get(), sqlite3_prepare_v2(db.get(), sql.toUtf8().constData(), -1, &raw, nullptr), "prepare");
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
    QStringList rows;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        QStringList values;
        for (int i = 0; i < sqlite3_column_count(stmt.get()); ++i) {
            if (sqlite3_column_type(stmt.get(), i) == SQLITE_NULL)
                values << QStringLiteral("<null>");
            else
                values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), i)));
        }
        rows << values.join(QLatin1Char('|'));
    }
    check(db.get(), rc, "step");
    return rows;
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace testsupport
