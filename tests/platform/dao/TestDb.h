#pragma once
// Builds and inspects test databases through the SQLCipher C API directly,
// independent of the engine under test.
#include "platform/dao/Dao.h"
#include "platform/dao/detail/Sqlite.h"
#include "runtime/RuntimeError.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace daotest {

inline const QString kKey = QStringLiteral("鍵-secret");
inline const QString kStandardTable =
    QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 小学校区 TEXT, 中学校区 TEXT);");

class RawDb {
public:
    // An empty key opens the file unencrypted. Creates the file if needed.
    RawDb(const QString& path, const QString& key);
    void exec(const QString& sql);   // fails the test on error
    int tryExec(const QString& sql); // the SQLite result code
    // First column of every row, as text; Null reads as "NULL".
    QStringList column(const QString& sql);
    sqlite3* get() const { return db_.get(); }

private:
    dao::detail::Handle db_;
};

void createDb(const QString& path, const QString& setupSql, const QString& key = kKey);
QByteArray fileBytes(const QString& path);

// The error raised by f; a test failure when there is none.
template <class F>
vb::RuntimeError raised(F&& f) {
    try {
        f();
    } catch (const vb::RuntimeError& e) {
        return e;
    }
    ADD_FAILURE() << "no error raised";
    return vb::RuntimeError(0, QString());
}

class DaoTest : public ::testing::Test {
protected:
    QString path(const QString& name = QStringLiteral("db.mdb")) const { return dir.filePath(name); }
    dao::DatabasePtr open(const QString& file, const QString& connect = QStringLiteral(";pwd=") + kKey,
                          vb::Boolean exclusive = vb::vbFalse, vb::Boolean readOnly = vb::vbFalse) {
        return engine->Workspaces()->Item(0)->OpenDatabase(file, exclusive, readOnly, connect);
    }
    // The standard table with rows given as SQL value lists, e.g. "(105, 'a', 'b')".
    QString standardDb(const QStringList& rows, const QString& table = kStandardTable) {
        QString sql = table;
        for (const QString& row : rows)
            sql += QStringLiteral(u"INSERT INTO 棟マスタ VALUES %1;").arg(row);
        createDb(path(), sql);
        return path();
    }

    QTemporaryDir dir;
    dao::DBEnginePtr engine = dao::DBEngine::create();
};

} // namespace daotest
