// The revision loop through the engine, which answers its keyed opens from a
// lookup and holds its updates to apply in rowid order, must leave exactly
// the file that the same loop leaves when each step is done at once with
// plain SQL: on duplicate keys on both sides, Null, missing, fractional and
// text keys, and a building number out of range half way.
#include "TestDb.h"

#include "runtime/Conversion.h"

#include <QFile>

#include <random>

namespace daotest {
namespace {

const QString kSourceKey = QStringLiteral("source-key");
const QString kTable = QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT);");
const QString kSourceTable = QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT);");
const QString kDump = QStringLiteral(u"SELECT rowid || '|' || quote(棟番号) || '|' || quote(棟名称) || '|' || "
                                     u"quote(小学校区) || '|' || quote(中学校区) FROM 棟マスタ ORDER BY rowid");

// A building number as the window reads one: error 6 beyond 32 bits.
std::int32_t buildingNumber(const vb::Variant& value) {
    return vb::CLng(vb::Val(value.toText()));
}

// The window's loop over the engine; the number of the error that ended it, or 0.
// The run through the engine; adds what the target's engine did to `stats`.
int engineRun(const QString& source, const QString& target, dao::Statistics& stats) {
    try {
        const dao::WorkspacePtr ws = dao::DBEngine::create()->Workspaces()->Item(0);
        const dao::DatabasePtr db = ws->OpenDatabase(source, vb::vbFalse, vb::vbFalse, QStringLiteral(";pwd=") + kSourceKey);
        const dao::DatabasePtr db1 = ws->OpenDatabase(target, vb::vbFalse, vb::vbFalse, QStringLiteral(";pwd=") + kKey);
        const dao::RecordsetPtr rs = db->OpenRecordset(QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ"));
        if (!vb::isTrue(rs->Eof())) {
            rs->MoveLast(0);
            rs->MoveFirst();
        }
        dao::RecordsetPtr rs1;
        while (!vb::isTrue(rs->Eof())) {
            const std::int32_t n = buildingNumber(rs->Fields()->Item(QStringLiteral(u"棟番号"))->Value());
            rs1 = db1->OpenRecordset(QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ WHERE 棟番号=") +
                                     QString::number(n));
            if (!vb::isTrue(rs1->Eof())) {
                rs1->Edit();
                rs1->SetCollect(QStringLiteral(u"中学校区"),
                                vb::Variant(rs->Fields()->Item(QStringLiteral(u"中学校区"))->Value().toText()));
                rs1->Update();
            }
            rs->MoveNext();
        }
        rs1.reset();
        rs->Close();
        db->Close();
        db1->Close();
        stats.lookupAnswers += db1->statistics().lookupAnswers;
        stats.updatesHeld += db1->statistics().updatesHeld;
        return 0;
    } catch (const vb::RuntimeError& e) {
        return e.number(); // everything is released on the way out
    }
}

// The same loop with one plain statement at a time; `stopAtError` false
// skips a row whose number is out of range instead of stopping there.
int plainRun(const QString& source, const QString& target, bool stopAtError = true) {
    RawDb src(source, kSourceKey), dst(target, kKey);
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(src.get(), "SELECT 棟番号, 中学校区 FROM 棟マスタ ORDER BY rowid", -1, &raw, nullptr);
    const dao::detail::Statement rows(raw);
    sqlite3_prepare_v2(dst.get(), "SELECT rowid FROM 棟マスタ WHERE 棟番号 = ?1 ORDER BY rowid LIMIT 1", -1, &raw, nullptr);
    const dao::detail::Statement find(raw);
    sqlite3_prepare_v2(dst.get(), "UPDATE 棟マスタ SET 中学校区 = ?1 WHERE rowid = ?2", -1, &raw, nullptr);
    const dao::detail::Statement write(raw);
    const auto text = [](sqlite3_stmt* s, int i) {
        return sqlite3_column_type(s, i) == SQLITE_NULL
                   ? QString()
                   : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
    };
    while (sqlite3_step(rows.get()) == SQLITE_ROW) {
        std::int32_t n = 0;
        try {
            const int type = sqlite3_column_type(rows.get(), 0);
            n = buildingNumber(type == SQLITE_INTEGER ? vb::Variant(std::int64_t{sqlite3_column_int64(rows.get(), 0)})
                               : type == SQLITE_FLOAT ? vb::Variant(sqlite3_column_double(rows.get(), 0))
                                                      : vb::Variant(text(rows.get(), 0)));
        } catch (const vb::RuntimeError& e) {
            if (stopAtError)
                return e.number();
            continue;
        }
        sqlite3_bind_int64(find.get(), 1, n);
        if (sqlite3_step(find.get()) == SQLITE_ROW) {
            const QByteArray value = text(rows.get(), 1).toUtf8();
            sqlite3_bind_text(write.get(), 1, value.constData(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(write.get(), 2, sqlite3_column_int64(find.get(), 0));
            EXPECT_EQ(sqlite3_step(write.get()), SQLITE_DONE) << sqlite3_errmsg(dst.get());
            sqlite3_reset(write.get());
        }
        sqlite3_reset(find.get());
    }
    return 0;
}

struct Files {
    QString source, target;
};

// Seeded tables with every odd case; `overflow` puts a number beyond 32 bits half way.
Files makeFiles(const QTemporaryDir& dir, unsigned seed, bool overflow) {
    std::mt19937 rng(seed);
    const int targetRows = static_cast<int>(rng() % 300), sourceRows = static_cast<int>(rng() % 400) + 20;
    const int range = std::max(targetRows, 10);
    QString target = kTable;
    if (seed % 2 == 0)
        target += QStringLiteral(u"CREATE INDEX 棟番号順 ON 棟マスタ (棟番号);");
    for (int i = 0; i < targetRows; ++i) {
        const auto roll = rng() % 20;
        const QString number = roll == 0 ? QStringLiteral("NULL")
                               : roll == 1 ? QStringLiteral("0")
                                           : QString::number(rng() % static_cast<unsigned>(range)); // duplicates arise
        target += QStringLiteral(u"INSERT INTO 棟マスタ VALUES (%1, '棟%2', '小', %3);")
                      .arg(number)
                      .arg(i)
                      .arg(roll == 2 ? QStringLiteral("NULL") : QStringLiteral("'旧'"));
    }
    QString source = kSourceTable;
    for (int i = 0; i < sourceRows; ++i) {
        const auto roll = rng() % 20;
        const auto n = rng() % static_cast<unsigned>(range + 20); // some beyond the target's numbers
        const QString number = overflow && i == sourceRows / 2 ? QStringLiteral("30000000000")
                               : roll == 0                    ? QStringLiteral("NULL")
                               : roll == 1                    ? QStringLiteral("%1.5").arg(n)
                               : roll == 2                    ? QStringLiteral("' %1 '").arg(n)
                                                              : QString::number(n);
        source += QStringLiteral(u"INSERT INTO 棟マスタ VALUES (%1, '', '', %2);")
                      .arg(number, roll == 3 ? QStringLiteral("NULL") : QStringLiteral(u"'新%1'").arg(i));
    }
    Files files{dir.filePath(QStringLiteral("Q4ProDB.mdb")), dir.filePath(QStringLiteral("Q5ProDB.mdb"))};
    createDb(files.source, source, kSourceKey);
    createDb(files.target, target);
    return files;
}

TEST(RevisionEquivalence, TheEngineLeavesTheFileTheStraightforwardRunLeaves) {
    dao::Statistics stats;
    int changedSomething = 0, stoppedEarly = 0;
    for (unsigned seed = 0; seed < 16; ++seed) {
        const bool overflow = seed % 4 == 3;
        SCOPED_TRACE(QStringLiteral("seed %1%2").arg(seed).arg(overflow ? " with overflow" : "").toStdString());
        QTemporaryDir dir;
        const Files files = makeFiles(dir, seed, overflow);
        const QString reference = dir.filePath(QStringLiteral("reference.mdb")),
                      original = dir.filePath(QStringLiteral("original.mdb"));
        ASSERT_TRUE(QFile::copy(files.target, reference));
        ASSERT_TRUE(QFile::copy(files.target, original));
        const QStringList before = RawDb(reference, kKey).column(kDump);
        const QByteArray sourceBytes = fileBytes(files.source);

        const int plainError = plainRun(files.source, reference);
        EXPECT_EQ(plainError, overflow ? 6 : 0);
        EXPECT_EQ(engineRun(files.source, files.target, stats), plainError);

        const QStringList expected = RawDb(reference, kKey).column(kDump);
        EXPECT_EQ(RawDb(files.target, kKey).column(kDump), expected);
        EXPECT_EQ(RawDb(files.target, kKey).column(QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
        EXPECT_EQ(fileBytes(files.source), sourceBytes);
        EXPECT_FALSE(QFile::exists(files.target + QStringLiteral("-journal")));
        changedSomething += expected != before;
        if (overflow) {
            // The rows after the overflow would have changed more: they were left alone.
            plainRun(files.source, original, false);
            stoppedEarly += RawDb(original, kKey).column(kDump) != expected;
        }
    }
    EXPECT_GE(changedSomething, 12);
    EXPECT_EQ(stoppedEarly, 4);
    // The quick paths were taken, or this compared the plain path with itself.
    EXPECT_GT(stats.lookupAnswers, 1000u);
    EXPECT_GT(stats.updatesHeld, 1000u);
}

} // namespace
} // namespace daotest
