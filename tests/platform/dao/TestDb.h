#pragma once
// The engine's tests: a temporary folder with an engine, and files made and
// read through the SQLCipher C API directly (tests/support), independent of
// the engine under test.
#include "platform/dao/Dao.h"
#include "platform/dao/sqlcipher/Sqlite.h"
#include "runtime/RuntimeError.h"
#include "tests/support/EncryptedDb.h"
#include "tests/support/Raised.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace daotest {

using testsupport::RawDb;
using testsupport::raised;

inline const QString kKey = QStringLiteral("鍵-secret");
inline const QString kStandardTable =
    QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 小学校区 TEXT, 中学校区 TEXT);");

// A new file made by the setup script, with this suite's key unless told otherwise.
inline void createDb(const QString& path, const QString& setupSql, const QString& key = kKey) {
    testsupport::CreateDb(path, key, setupSql);
}

inline QByteArray fileBytes(const QString& path) {
    return testsupport::FileBytes(path);
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
