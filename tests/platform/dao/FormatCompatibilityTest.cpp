// The files keep the format that older tools read and write: Debian's
// sqlcipher shell (SQLCipher 3) reads what the engine writes, and the engine
// reads and updates what the shell wrote.
#include "TestDb.h"

#include <QProcess>

namespace daotest {
namespace {

// Runs statements in the sqlcipher shell on `file`; its output lines.
QStringList shell(const QString& file, const QString& statements) {
    QProcess process;
    process.start(QStringLiteral("sqlcipher"), {QStringLiteral("-batch"), file});
    if (!process.waitForStarted(10000)) {
        ADD_FAILURE() << "the sqlcipher shell did not start (scripts/setup installs it)";
        return {};
    }
    process.write((QStringLiteral("PRAGMA key = '%1';\n").arg(kKey) + statements + QLatin1Char('\n')).toUtf8());
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class FormatCompatibility : public DaoTest {};

TEST_F(FormatCompatibility, TheOldShellReadsWhatTheEngineWroteAndTheOtherWayRound) {
    // Written by the shell, updated through the engine, read by the shell.
    const QString byShell = path(QStringLiteral("shell.mdb"));
    shell(byShell, QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 小学校区 TEXT, 中学校区 TEXT);"
                                  u"INSERT INTO 棟マスタ VALUES (1, '小', '旧'), (2, '小', '旧');"));
    {
        const dao::DatabasePtr db = open(byShell);
        const dao::RecordsetPtr rs = db->OpenRecordset(QStringLiteral(u"SELECT * FROM 棟マスタ WHERE 棟番号 = 2"));
        EXPECT_EQ(rs->Collect(QStringLiteral(u"中学校区")), vb::Variant(u"旧"));
        rs->Edit();
        rs->SetCollect(QStringLiteral(u"中学校区"), vb::Variant(u"新"));
        rs->Update();
        db->Close();
    }
    EXPECT_EQ(shell(byShell, QStringLiteral(u"SELECT 棟番号, 中学校区 FROM 棟マスタ ORDER BY rowid;")),
              (QStringList{QStringLiteral(u"1|旧"), QStringLiteral(u"2|新")}));

    // Created by this program's library, read by the shell.
    const QString byLibrary = standardDb({QStringLiteral(u"(7, 'a', '中')")});
    EXPECT_EQ(shell(byLibrary, QStringLiteral(u"SELECT 棟番号, 中学校区 FROM 棟マスタ;")), QStringList{QStringLiteral(u"7|中")});
    EXPECT_EQ(shell(byLibrary, QStringLiteral("PRAGMA integrity_check;")), QStringList{QStringLiteral("ok")});
}

} // namespace
} // namespace daotest
