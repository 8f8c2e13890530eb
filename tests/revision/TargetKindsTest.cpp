// One source revises an encrypted target and an Access target that hold the
// same rows: afterwards both hold the same values, row by row, and the
// Access file reads back whole to an independent reader.
#include "platform/dao/Dao.h"
#include "revision/Revision.h"
#include "tests/support/EncryptedDb.h"
#include "tests/support/JetCheck.h"
#include "tests/support/Keys.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using testsupport::CreateDb;
using testsupport::kSourceKey;
using testsupport::kTargetKey;

namespace {

const QString kAccessTarget = QStringLiteral(TOU_JET_DATA_DIR "/target-v2000.mdb");
const QString kRead = QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ");

// Every row of a file's building master in stored order, each value as text ("\N" for Null).
std::vector<QStringList> rowsOf(const QString& path) {
    const dao::DatabasePtr db = dao::DBEngine::create()->Workspaces()->Item(0)->OpenDatabase(
        path, vb::vbFalse, vb::vbTrue, QStringLiteral(";pwd=") + kTargetKey);
    const dao::RecordsetPtr rs = db->OpenRecordset(kRead);
    std::vector<QStringList> rows;
    for (; !vb::isTrue(rs->Eof()); rs->MoveNext()) {
        QStringList row;
        for (const QString& column : {QStringLiteral(u"棟番号"), QStringLiteral(u"小学校区"), QStringLiteral(u"中学校区")}) {
            const vb::Variant v = rs->Fields()->Item(column)->Value();
            row << (v.isNull() ? testsupport::kJetNull : v.toText());
        }
        rows.push_back(row);
    }
    rs->Close();
    db->Close();
    return rows;
}

QString sqlText(const QString& value) {
    return value == testsupport::kJetNull ? QStringLiteral("NULL")
                                          : QLatin1Char('\'') + QString(value).replace(QStringLiteral("'"), QStringLiteral("''")) + QLatin1Char('\'');
}

TEST(TargetKinds, AccessAndEncryptedTargetsGetTheSameValues) {
    if (!QFile::exists(kAccessTarget))
        GTEST_SKIP() << "no Access target fixture";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString jet = dir.filePath(QStringLiteral("jet.mdb"));
    const QString sql = dir.filePath(QStringLiteral("sql.mdb"));
    const QString source = dir.filePath(QStringLiteral("Q4ProDB.mdb"));
    ASSERT_TRUE(QFile::copy(kAccessTarget, jet));
    QFile(jet).setPermissions(QFile::ReadOwner | QFile::WriteOwner);

    // The encrypted target holds the Access target's rows in the same order.
    const std::vector<QStringList> before = rowsOf(jet);
    ASSERT_GT(before.size(), 300u);
    QString script = QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 小学校区 TEXT, 中学校区 TEXT);");
    for (const QStringList& r : before)
        script += QStringLiteral(u"INSERT INTO 棟マスタ VALUES (%1,%2,%3);").arg(r[0], sqlText(r[1]), sqlText(r[2]));
    CreateDb(sql, kTargetKey, script);
    ASSERT_EQ(rowsOf(sql), before);

    // Values that grow (most rows move off their full page), shrink, stay,
    // become "" from Null, and numbers repeated, missing or fractional.
    script = QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 REAL, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT);");
    for (int i = 0; i < 460; ++i) {
        const int key = i * 211 % 460 + 1;
        QString value = i % 11 == 0   ? QStringLiteral("NULL")
                        : i % 7 == 0  ? QStringLiteral("'北'")
                        : i % 13 == 0 ? QStringLiteral(u"'未設定'")
                                      : QStringLiteral(u"'青葉中学校区第%1分室'").arg(i);
        script += QStringLiteral(u"INSERT INTO 棟マスタ VALUES (%1,'n','s',%2);").arg(key).arg(value);
    }
    script += QStringLiteral(u"INSERT INTO 棟マスタ VALUES (20,'n','s','重複の二回目'),(10.5,'n','s','十'),(7,'n','s','七');");
    CreateDb(source, kSourceKey, script);

    revision::Progress quiet;
    const revision::Outcome toJet = revision::Revise(source, jet, quiet);
    const revision::Outcome toSql = revision::Revise(source, sql, quiet);
    EXPECT_EQ(toJet.read, toSql.read);
    EXPECT_EQ(toJet.revised, toSql.revised);
    EXPECT_EQ(toJet.notFound, toSql.notFound);
    EXPECT_GT(toJet.notFound, 0);

    const std::vector<QStringList> after = rowsOf(sql);
    EXPECT_NE(after, before);
    EXPECT_EQ(rowsOf(jet), after);

    // A second run writes the same values again: the same file.
    const QByteArray once = testsupport::FileBytes(jet);
    revision::Revise(source, jet, quiet);
    EXPECT_TRUE(testsupport::FileBytes(jet) == once) << "a rerun changed the file";

    const testsupport::JetCheckResult check = testsupport::jackcessCheck(jet, QStringLiteral(u"棟マスタ"), after);
    if (check.skipped) {
        std::printf("[  SKIPPED ] Jackcess check: %s\n", qPrintable(check.why));
    } else {
        EXPECT_TRUE(check.ok) << check.output.toStdString();
    }
}

// Files laid out as the writer meets them in the field, every row revised to
// a longer value: the two files Access itself saved, given a 棟マスタ of 300
// rows by Jackcess (keys 1-300, "未設定"), and a table whose page map is kept
// inline from page 26 (keys 501-540), which the new pages must join. Each
// reads back as the rule gives, to the engine and to Jackcess.
TEST(TargetKinds, FieldLayoutsAreRevisedWhole) {
    const struct {
        const char* file;
        int firstKey, rows, valueLength;
    } cases[] = {
        {"sample-target-v2000.mdb", 1, 300, 10},
        {"sample-target-v2003.mdb", 1, 300, 10},
        {"inline-map-start-v2000.mdb", 501, 40, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const QString fixture = QStringLiteral(TOU_JET_DATA_DIR "/") + QLatin1String(c.file);
        ASSERT_TRUE(QFile::exists(fixture));
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString jet = dir.filePath(QStringLiteral("Q5ProDB.mdb"));
        const QString source = dir.filePath(QStringLiteral("Q4ProDB.mdb"));
        ASSERT_TRUE(QFile::copy(fixture, jet));
        QFile(jet).setPermissions(QFile::ReadOwner | QFile::WriteOwner);

        std::vector<QStringList> expected = rowsOf(jet);
        ASSERT_EQ(expected.size(), static_cast<std::size_t>(c.rows));
        const int sourceRows = c.rows + c.rows / 10; // the last tenth of the numbers are not in the target
        QString script = QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT);");
        for (int i = 0; i < sourceRows; ++i) {
            const int offset = i * 37 % sourceRows;
            QString value = QStringLiteral(u"青葉中学校区第%1分室").arg(i);
            value += QString(c.valueLength - value.size(), u'棟');
            script += QStringLiteral(u"INSERT INTO 棟マスタ VALUES (%1,'n','s','%2');").arg(c.firstKey + offset).arg(value);
            if (offset < c.rows)
                expected[static_cast<std::size_t>(offset)][2] = value;
        }
        CreateDb(source, kSourceKey, script);
        const QByteArray before = testsupport::FileBytes(jet);
        revision::Progress quiet;
        revision::Revise(source, jet, quiet);
        EXPECT_EQ(rowsOf(jet), expected);
        EXPECT_GT(testsupport::FileBytes(jet).size(), before.size()); // rows moved to new pages

        const testsupport::JetCheckResult check = testsupport::jackcessCheck(jet, QStringLiteral(u"棟マスタ"), expected);
        if (check.skipped) {
            std::printf("[  SKIPPED ] Jackcess check: %s\n", qPrintable(check.why));
        } else {
            EXPECT_TRUE(check.ok) << check.output.toStdString();
        }
    }
}

} // namespace
