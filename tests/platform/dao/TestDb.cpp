#include "TestDb.h"

#include <QFile>

namespace daotest {

RawDb::RawDb(const QString& path, const QString& key) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    db_.reset(raw);
    EXPECT_EQ(rc, SQLITE_OK);
    if (!key.isEmpty()) {
        const QByteArray k = key.toUtf8();
        EXPECT_EQ(sqlite3_key(raw, k.constData(), static_cast<int>(k.size())), SQLITE_OK);
    }
    sqlite3_busy_timeout(raw, 2000);
}

int RawDb::tryExec(const QString& sql) {
    return sqlite3_exec(db_.get(), sql.toUtf8().constData(), nullptr, nullptr, nullptr);
}

void RawDb::exec(const QString& sql) {
    EXPECT_EQ(tryExec(sql), SQLITE_OK) << sqlite3_errmsg(db_.get()) << " in " << sql.toStdString();
}

QStringList RawDb::column(const QString& sql) {
    QStringList values;
    sqlite3_stmt* raw = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    EXPECT_EQ(sqlite3_prepare_v2(db_.get(), utf8.constData(), -1, &raw, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db_.get());
    const dao::detail::Statement statement(raw);
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        values << (sqlite3_column_type(raw, 0) == SQLITE_NULL
                       ? QStringLiteral("NULL")
                       : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0))));
    }
    EXPECT_EQ(rc, SQLITE_DONE) << sqlite3_errmsg(db_.get());
    return values;
}

void createDb(const QString& path, const QString& setupSql, const QString& key) {
    RawDb(path, key).exec(QStringLiteral("BEGIN;") + setupSql + QStringLiteral("COMMIT;"));
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

} // namespace daotest
