// Updates the engine holds back to apply in rowid order: reads see them, they
// reach the file within the durability bound and before an error leaves the
// engine, and an update that could fail is never held.
#include "TestDb.h"

#include "platform/dao/ErrorCodes.h"
#include "platform/dao/sqlcipher/SqlCipherStore.h"
#include "platform/dao/sqlcipher/PendingWrites.h"

#include <QDir>
#include <QThread>

#include <chrono>

namespace daotest {
namespace {

using namespace dao::err;
using namespace std::chrono_literals;

const QString kSecond = QStringLiteral(u"SELECT 中学校区 FROM 棟マスタ ORDER BY rowid");

class HeldUpdateTest : public DaoTest {
protected:
    // n rows numbered 1..n, each `value` (%1 the number).
    void rows(int n, const QString& table = kStandardTable, const QString& value = QStringLiteral("old")) {
        QStringList values;
        for (int i = 1; i <= n; ++i)
            values << QStringLiteral("(%1, 'p', '%2')").arg(i).arg(value.arg(i));
        standardDb(values, table);
    }
    static void setSecond(const dao::RecordsetPtr& rs, const vb::Variant& value) {
        rs->Edit();
        rs->SetCollect(QStringLiteral(u"中学校区"), value);
        rs->Update();
    }
    static dao::RecordsetPtr row(const dao::DatabasePtr& db, int number) {
        return db->OpenRecordset(
            QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ WHERE 棟番号=%1").arg(number));
    }
    QStringList stored(const QString& sql = kSecond) { return RawDb(path(), kKey).column(sql); }
};

TEST_F(HeldUpdateTest, UpdatesReachTheFileWithinTheBoundWhileTheDatabaseStaysOpen) {
    rows(30);
    const QStringList schema = stored(QStringLiteral("SELECT sql FROM sqlite_master"));
    const dao::DatabasePtr db = open(path());
    RawDb other(path(), kKey);
    for (int round = 1; round <= 2; ++round) {
        const std::uint64_t held = db->statistics().updatesHeld;
        QStringList expected = stored();
        const auto updated = std::chrono::steady_clock::now();
        // Backwards, so that the order they are applied in is not the order given.
        for (int n = 30; n >= 1; n -= 2) {
            setSecond(row(db, n), vb::Variant(QStringLiteral("r%1-%2").arg(round).arg(n)));
            expected[n - 1] = QStringLiteral("r%1-%2").arg(round).arg(n);
        }
        EXPECT_GE(db->statistics().updatesHeld - held, 14u) << "round " << round;
        // The previous commit (if any) took milliseconds: the bound is the
        // plain delay. The other connection reads meanwhile, never locked out.
        const auto bound = updated + dao::detail::kCommitDelay + 1500ms; // scheduling slack
        QStringList seen;
        while ((seen = other.column(kSecond)) != expected && std::chrono::steady_clock::now() < bound)
            QThread::msleep(20);
        EXPECT_EQ(seen, expected) << "round " << round;
    }
    db->Close();
    EXPECT_EQ(stored(QStringLiteral("SELECT sql FROM sqlite_master")), schema);
    EXPECT_EQ(stored(QStringLiteral("PRAGMA journal_mode")), QStringList{"delete"});
    EXPECT_EQ(stored(QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"db.mdb"});
}

TEST(CommitCadence, AnUpdateIsInTheFileWithinASecondOrTenTimesThePreviousCommit) {
    // previous commit, the longest an update may wait for the file
    const struct {
        std::chrono::milliseconds previous, bound;
    } cases[] = {{0ms, 1000ms},     {5ms, 1000ms},     {99ms, 1000ms},     {100ms, 1000ms},
                 {101ms, 1010ms},   {250ms, 2500ms},   {1000ms, 10000ms},  {4000ms, 40000ms}};
    for (const auto& c : cases) {
        const auto start = dao::detail::commitStartAfter(c.previous);
        // A commit taking as long as the previous one ends by the bound...
        EXPECT_LE(start + c.previous, c.bound) << c.previous.count();
        // ...and does not start much before it: commits stay a tenth of the time.
        EXPECT_GE(start + c.previous, c.bound - c.bound / 10) << c.previous.count();
        EXPECT_GE(start, c.bound / 2) << c.previous.count();
    }
}

TEST_F(HeldUpdateTest, AnUpdateReachesTheFileInTimeWhileUpdatesKeepComing) {
    rows(2000);
    const dao::DatabasePtr db = open(path());
    RawDb other(path(), kKey);
    const auto first = std::chrono::steady_clock::now();
    setSecond(row(db, 1), vb::Variant(u"first"));
    const auto bound = first + dao::detail::kCommitDelay + 1500ms; // scheduling slack
    bool seen = false;
    // No pause for the timer: batches are always ready while this runs.
    for (int n = 2; !seen && std::chrono::steady_clock::now() < bound; n = n % 2000 + 2) {
        setSecond(row(db, n), vb::Variant(QStringLiteral("v%1").arg(n)));
        if (n % 250 == 0)
            seen = other.column(QStringLiteral(u"SELECT 中学校区 FROM 棟マスタ WHERE rowid = 1")) == QStringList{"first"};
    }
    EXPECT_TRUE(seen);
    db->Close();
    EXPECT_EQ(stored(QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
}

TEST_F(HeldUpdateTest, ATransactionWithAJournalOfManyPagesCommitsWhole) {
    // Values that grow each row: pages split, and the journal takes far more
    // than the largest single write the file layer allows.
    const QString old = QStringLiteral("old-") + QString(100, u'x');
    rows(3000, kStandardTable, old);
    const QByteArray before = fileBytes(path());
    const QString longer(300, u'長');
    {
        const dao::DatabasePtr db = open(path());
        for (int n = 3000; n >= 1; n -= 3)
            setSecond(row(db, n), vb::Variant(longer + QString::number(n)));
        db->Close();
    }
    EXPECT_GT(fileBytes(path()).size(), before.size() + 500 * 1024);
    EXPECT_EQ(stored(QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
    const QStringList values = stored();
    ASSERT_EQ(values.size(), 3000);
    for (int n = 1; n <= 3000; ++n)
        ASSERT_EQ(values[n - 1], (3000 - n) % 3 == 0 ? longer + QString::number(n) : old) << n;
    EXPECT_FALSE(QFile::exists(path() + QStringLiteral("-journal")));
}

TEST_F(HeldUpdateTest, BatchesAppliedWhileTheCallerGoesOnAreSeenByEveryRead) {
    rows(3000, kStandardTable, QStringLiteral("old%1"));
    const dao::DatabasePtr db = open(path());
    const auto countNew = [&db] {
        const dao::RecordsetPtr rs =
            db->OpenRecordset(QStringLiteral(u"SELECT count(*) AS n FROM 棟マスタ WHERE 中学校区 LIKE 'new%'"));
        return rs->Fields()->Item(QStringLiteral("n"))->Value().toText().toInt();
    };
    QStringList expected = stored();
    int newRows = 0;
    for (int n = 3000; n >= 1; --n) {
        setSecond(row(db, n), vb::Variant(QStringLiteral("new%1").arg(n)));
        expected[n - 1] = QStringLiteral("new%1").arg(n);
        ++newRows;
        if (n % 7 == 0 && n + 3 <= 3000) {
            // A second update of a row updated earlier, likely in another batch: it must win.
            setSecond(row(db, n + 3), vb::Variant(QStringLiteral("twice%1").arg(n + 3)));
            expected[n + 2] = QStringLiteral("twice%1").arg(n + 3);
            --newRows;
        }
        if (n % 500 == 0) {
            // Now and then time for the batches to run: the read comes mid-batch or after.
            QThread::msleep(n % 1000 == 0 ? 20 : 0);
            EXPECT_EQ(countNew(), newRows) << n;
        }
    }
    db->Close();
    EXPECT_GT(db->statistics().updatesBatched, 0u);
    EXPECT_EQ(stored(), expected);
    EXPECT_EQ(stored(QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
}

TEST_F(HeldUpdateTest, EveryKindOfReadSeesHeldUpdates) {
    rows(10);
    const dao::DatabasePtr db = open(path());
    const std::uint64_t held = db->statistics().updatesHeld;
    const dao::RecordsetPtr first = row(db, 1);
    setSecond(first, vb::Variant(u"new"));
    const dao::RecordsetPtr all = db->OpenRecordset(QStringLiteral(u"SELECT * FROM 棟マスタ"));
    EXPECT_EQ(all->Collect(QStringLiteral(u"中学校区")), vb::Variant(u"new"));
    for (int n : {4, 7, 9}) {
        const dao::RecordsetPtr rs = row(db, n);
        setSecond(rs, vb::Variant(u"new"));
        EXPECT_EQ(rs->Collect(QStringLiteral(u"中学校区")), vb::Variant(u"new")) << n;
    }
    ASSERT_EQ(db->statistics().updatesHeld - held, 3u);
    // A recordset read before the updates, moved onto an updated row.
    for (int n = 2; n <= 4; ++n)
        all->MoveNext();
    EXPECT_EQ(all->Collect(QStringLiteral(u"中学校区")), vb::Variant(u"new"));
    // A query SQLite answers, and a keyed open on the written column.
    EXPECT_EQ(db->OpenRecordset(QStringLiteral(u"SELECT count(*) AS n FROM 棟マスタ WHERE 中学校区 = 'new'"))
                  ->Collect(QStringLiteral("n")),
              vb::Variant(4));
    EXPECT_EQ(db->OpenRecordset(QStringLiteral(u"SELECT 棟番号 FROM 棟マスタ WHERE 中学校区 = 'new'"))->RecordCount(), 4);
    db->Close();
    EXPECT_EQ(stored(), QStringList({"new", "old", "old", "new", "old", "old", "new", "old", "new", "old"}));
}

TEST_F(HeldUpdateTest, AnErrorLeavingTheEngineFindsHeldUpdatesInTheFile) {
    rows(10);
    const dao::DatabasePtr db = open(path());
    const std::uint64_t held = db->statistics().updatesHeld;
    for (int n : {8, 2, 5})
        setSecond(row(db, n), vb::Variant(u"kept"));
    ASSERT_EQ(db->statistics().updatesHeld - held, 2u);
    EXPECT_EQ(raised([&] { db->OpenRecordset(QStringLiteral(u"SELECT * FROM 無い表")); }).number(), kTableNotFound);
    // Not closed, not released: in the file all the same.
    EXPECT_EQ(stored(), QStringList({"old", "kept", "old", "old", "kept", "old", "old", "kept", "old", "old"}));
    setSecond(row(db, 1), vb::Variant(u"after")); // the engine carries on
    db->Close();
    EXPECT_EQ(stored().first(), QStringLiteral("after"));
}

TEST_F(HeldUpdateTest, AnUpdateThatCouldFailIsMadeAtOnceAndFailsThere) {
    const struct {
        const char* name;
        const char* table; // the standard columns, with something that can refuse an update
        vb::Variant bad;
        int number;
    } cases[] = {
        {"check", "中学校区 TEXT CHECK (中学校区 <> 'bad')", vb::Variant(u"bad"), kValidationRule},
        {"not null", "中学校区 TEXT NOT NULL", vb::Variant(), kNullNotAllowed},
        {"unique", "中学校区 TEXT UNIQUE", vb::Variant(u"ok1"), kDuplicateValue},
        {"unique index", "中学校区 TEXT); CREATE UNIQUE INDEX u ON 棟マスタ (中学校区", vb::Variant(u"ok1"),
         kDuplicateValue},
        {"trigger", "中学校区 TEXT); CREATE TRIGGER t BEFORE UPDATE ON 棟マスタ WHEN new.中学校区 = 'bad' "
                    "BEGIN SELECT RAISE(ABORT, 'refused'); END; CREATE TABLE unused (x",
         vb::Variant(u"bad"), kDatabaseError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path());
        rows(4, QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 小学校区 TEXT, %1);").arg(QString::fromUtf8(c.table)),
             QStringLiteral("old%1"));
        {
            const dao::DatabasePtr db = open(path());
            setSecond(row(db, 1), vb::Variant(u"ok1"));
            setSecond(row(db, 2), vb::Variant(u"ok2"));
            EXPECT_EQ(raised([&] { setSecond(row(db, 3), c.bad); }).number(), c.number);
            setSecond(row(db, 4), vb::Variant(u"ok4")); // the engine carries on
        } // released, as the window's error path does
        EXPECT_EQ(stored(), QStringList({"ok1", "ok2", "old3", "ok4"}));
        EXPECT_EQ(stored(QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
    }
}

TEST_F(HeldUpdateTest, ATriggerAnotherConnectionAddsIsHonouredAtOnce) {
    rows(6);
    const dao::DatabasePtr db = open(path());
    const dao::RecordsetPtr early = row(db, 5); // opened before the trigger exists
    setSecond(row(db, 1), vb::Variant(u"one"));
    setSecond(row(db, 2), vb::Variant(u"two")); // held: nothing can refuse it yet
    // An error leaving the engine commits, so the other connection gets its turn.
    EXPECT_EQ(raised([&] { db->OpenRecordset(QStringLiteral(u"SELECT * FROM 無い表")); }).number(), kTableNotFound);
    RawDb(path(), kKey).exec(QStringLiteral(u"CREATE TRIGGER refuse BEFORE UPDATE ON 棟マスタ WHEN new.中学校区 = 'bad' "
                                            u"BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    setSecond(row(db, 3), vb::Variant(u"three"));
    EXPECT_EQ(raised([&] { setSecond(row(db, 4), vb::Variant(u"bad")); }).number(), kDatabaseError);
    EXPECT_EQ(raised([&] { setSecond(early, vb::Variant(u"bad")); }).number(), kDatabaseError);
    db->Close();
    EXPECT_EQ(stored(), QStringList({"one", "two", "three", "old", "old", "old"}));
}

TEST_F(HeldUpdateTest, RowsAnotherConnectionChangedBeforeOurWritesAreCheckedAgain) {
    rows(4);
    const dao::DatabasePtr db = open(path());
    const dao::RecordsetPtr second = row(db, 2), third = row(db, 3), fourth = row(db, 4);
    RawDb(path(), kKey).exec(QStringLiteral(u"DELETE FROM 棟マスタ WHERE 棟番号 = 4; "
                                            u"UPDATE 棟マスタ SET 小学校区 = 'other' WHERE 棟番号 = 2"));
    EXPECT_EQ(raised([&] { setSecond(fourth, vb::Variant(u"four")); }).number(), kRecordDeleted);
    const std::uint64_t held = db->statistics().updatesHeld;
    setSecond(third, vb::Variant(u"three"));
    // Read before the other connection's commit: not held, made and checked at once.
    setSecond(second, vb::Variant(u"two"));
    EXPECT_EQ(db->statistics().updatesHeld, held);
    setSecond(row(db, 1), vb::Variant(u"one")); // read since: held
    EXPECT_EQ(db->statistics().updatesHeld, held + 1);
    db->Close();
    EXPECT_EQ(stored(), QStringList({"one", "two", "three"}));
    EXPECT_EQ(stored(QStringLiteral(u"SELECT 小学校区 FROM 棟マスタ WHERE 棟番号 = 2")), QStringList{"other"});
}

} // namespace
} // namespace daotest
