#include "TestDb.h"

#include "platform/dao/ErrorCodes.h"
#include "platform/dao/sqlcipher/SqlCipherStore.h"

#include <QDir>
#include <QThread>

#include <chrono>
#include <csignal>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

namespace daotest {
namespace {

using namespace dao::err;
using namespace std::chrono_literals;

const QString kSecond = QStringLiteral(u"SELECT 中学校区 FROM 棟マスタ ORDER BY rowid");

class UpdateTest : public DaoTest {
protected:
    QStringList stored(const QString& sql = kSecond) { return RawDb(path(), kKey).column(sql); }

    // What the window does for one row.
    static void setSecond(const dao::RecordsetPtr& rs, const vb::Variant& value) {
        rs->Edit();
        rs->SetCollect(QStringLiteral(u"中学校区"), value);
        rs->Update(dao::dbUpdateRegular, false);
    }
    dao::RecordsetPtr row(const dao::DatabasePtr& db, int number) {
        return db->OpenRecordset(
            QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ WHERE 棟番号=%1").arg(number));
    }
};

TEST_F(UpdateTest, WritesOnlyTheAssignedFieldAndNothingElse) {
    // The trigger fires only when 小学校区 is among the columns written.
    standardDb({QStringLiteral("(1, 'a', 'x')"), QStringLiteral("(2, 'b', 'y')")},
               kStandardTable + QStringLiteral(u"CREATE TABLE log (n); CREATE TRIGGER t AFTER UPDATE OF 小学校区 "
                                               u"ON 棟マスタ BEGIN INSERT INTO log VALUES (1); END;"));
    const QStringList schema = stored(QStringLiteral("SELECT sql FROM sqlite_master"));
    const dao::DatabasePtr db = open(path());
    const dao::RecordsetPtr rs = row(db, 2);
    setSecond(rs, vb::Variant(u"新"));
    EXPECT_EQ(rs->Collect(QStringLiteral(u"中学校区")), vb::Variant(u"新"));
    EXPECT_EQ(rs->Collect(QStringLiteral(u"小学校区")), vb::Variant(u"b"));
    rs->Close();
    db->Close();
    EXPECT_EQ(stored(), QStringList({"x", QStringLiteral(u"新")}));
    EXPECT_EQ(stored(QStringLiteral(u"SELECT 小学校区 FROM 棟マスタ")), QStringList({"a", "b"}));
    EXPECT_TRUE(stored(QStringLiteral("SELECT n FROM log")).isEmpty());
    EXPECT_EQ(stored(QStringLiteral("SELECT sql FROM sqlite_master")), schema);
    EXPECT_EQ(stored(QStringLiteral("PRAGMA journal_mode")), QStringList{"delete"});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"db.mdb"});
}

TEST_F(UpdateTest, ReleasingWithoutCloseKeepsTheUpdates) {
    standardDb({QStringLiteral("(1, 'a', 'x')"), QStringLiteral("(2, 'b', 'y')")});
    dao::DatabasePtr db = open(path());
    dao::RecordsetPtr first = row(db, 1);
    setSecond(first, vb::Variant(u"one"));
    first.reset();
    dao::RecordsetPtr second = row(db, 2);
    setSecond(second, vb::Variant(u"two"));
    db.reset(); // the recordset still holds the file open
    EXPECT_EQ(stored(), QStringList({"one", "two"}));
    second.reset();
    EXPECT_EQ(stored(), QStringList({"one", "two"}));
}

TEST_F(UpdateTest, CommitsOnItsOwnWhileTheDatabaseStaysOpen) {
    standardDb({QStringLiteral("(1, 'a', 'x')")});
    const dao::DatabasePtr db = open(path());
    setSecond(row(db, 1), vb::Variant(u"soon"));
    RawDb other(path(), kKey);
    QStringList seen;
    for (auto until = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < until;
         QThread::msleep(50)) {
        if ((seen = other.column(kSecond)) == QStringList{"soon"})
            break;
    }
    EXPECT_EQ(seen, QStringList{"soon"});
    setSecond(row(db, 1), vb::Variant(u"later")); // a new transaction after the timer's commit
    db->Close();
    EXPECT_EQ(other.column(kSecond), QStringList{"later"});
}

TEST_F(UpdateTest, EnforcesTheEditProtocol) {
    standardDb({QStringLiteral("(1, 'a', 'x')"), QStringLiteral("(1, 'b', 'y')")});
    const dao::DatabasePtr db = open(path());
    const dao::RecordsetPtr rs = row(db, 1);
    const QString second = QStringLiteral(u"中学校区");
    EXPECT_EQ(raised([&] { rs->Update(); }).number(), kUpdateWithoutEdit);
    EXPECT_EQ(raised([&] { rs->SetCollect(second, vb::Variant(u"v")); }).number(), kUpdateWithoutEdit);
    EXPECT_EQ(raised([&] { rs->CancelUpdate(); }).number(), kUpdateWithoutEdit);

    rs->Edit();
    rs->Fields()->Item(second)->SetValue(vb::Variant(u"v"));
    EXPECT_EQ(rs->Collect(second), vb::Variant(u"v"));
    EXPECT_EQ(raised([&] { rs->Update(2); }).number(), kInvalidArgument);
    rs->CancelUpdate();
    EXPECT_EQ(rs->Collect(second), vb::Variant(u"x"));

    rs->Edit();
    rs->SetCollect(second, vb::Variant(u"dropped"));
    rs->MoveNext(); // moving abandons the edit
    EXPECT_EQ(raised([&] { rs->Update(); }).number(), kUpdateWithoutEdit);
    db->Close();
    EXPECT_EQ(stored(), QStringList({"x", "y"}));
}

TEST_F(UpdateTest, ViolationsNameTheFieldAndKeepEarlierUpdates) {
    const struct {
        const char* column;
        vb::Variant bad;
        int number;
    } cases[] = {
        {"中学校区 TEXT CHECK (中学校区 <> 'bad')", vb::Variant(u"bad"), kValidationRule},
        {"中学校区 TEXT NOT NULL", vb::Variant(), kNullNotAllowed},
        {"中学校区 TEXT NOT NULL ON CONFLICT ROLLBACK", vb::Variant(), kNullNotAllowed},
        {"中学校区 TEXT UNIQUE", vb::Variant(u"ok"), kDuplicateValue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        QFile::remove(path());
        standardDb({QStringLiteral("(1, 'a', 'x')"), QStringLiteral("(2, 'b', 'y')")},
                   QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 小学校区 TEXT, %1);")
                       .arg(QString::fromUtf8(c.column)));
        {
            const dao::DatabasePtr db = open(path());
            setSecond(row(db, 1), vb::Variant(u"ok"));
            const vb::RuntimeError e = raised([&] { setSecond(row(db, 2), c.bad); });
            EXPECT_EQ(e.number(), c.number);
            EXPECT_TRUE(e.description().contains(QStringLiteral(u"中学校区"))) << e.what();
            EXPECT_EQ(stored(), QStringList({"ok", "y"})); // committed before the error left the engine
        } // released, as the window's error path does
        EXPECT_EQ(stored(), QStringList({"ok", "y"}));
        EXPECT_EQ(stored(QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
    }
}

TEST_F(UpdateTest, WaitsOutAShortLockAndGivesUpOnALongOne) {
    standardDb({QStringLiteral("(1, 'a', 'x')")});
    RawDb other(path(), kKey);
    {
        struct ShortWait {
            ShortWait() { dao::detail::setBusyTimeout(300ms); }
            ~ShortWait() { dao::detail::setBusyTimeout(5000ms); }
        } shortWait;
        const dao::DatabasePtr db = open(path());
        const dao::RecordsetPtr rs = row(db, 1);
        EXPECT_EQ(rs->Collect(QStringLiteral(u"中学校区")), vb::Variant(u"x"));
        other.exec(QStringLiteral(u"BEGIN EXCLUSIVE; UPDATE 棟マスタ SET 小学校区 = 'other'"));
        EXPECT_EQ(raised([&] { open(path()); }).number(), kFileInUse);
        EXPECT_EQ(raised([&] { setSecond(rs, vb::Variant(u"mine")); }).number(), kUpdateLocked);
        other.exec(QStringLiteral("ROLLBACK"));
        db->Close();
        EXPECT_EQ(stored(QStringLiteral(u"SELECT 小学校区 || 中学校区 FROM 棟マスタ")), QStringList{"ax"});
    }
    const dao::DatabasePtr db = open(path());
    const dao::RecordsetPtr rs = row(db, 1);
    EXPECT_EQ(rs->Collect(QStringLiteral(u"中学校区")), vb::Variant(u"x"));
    other.exec(QStringLiteral("BEGIN EXCLUSIVE"));
    std::jthread releaser([&] {
        QThread::msleep(200);
        other.exec(QStringLiteral("ROLLBACK"));
    });
    setSecond(rs, vb::Variant(u"mine"));
    releaser.join();
    db->Close();
    EXPECT_EQ(stored(), QStringList{"mine"});
}

TEST_F(UpdateTest, CopiesAFieldBetweenFilesAsTheWindowDoes) {
    QString source = kStandardTable, target = kStandardTable;
    for (int n = 1; n <= 300; ++n) {
        source += QStringLiteral(u"INSERT INTO 棟マスタ VALUES (%1, 's', 'new%1');").arg(n);
        target += QStringLiteral(u"INSERT INTO 棟マスタ VALUES (%1, 't', 'old');").arg(n % 250 + 1);
    }
    createDb(path(QStringLiteral("source.mdb")), source, QStringLiteral("src"));
    createDb(path(), target);
    {
        const dao::DatabasePtr db = open(path(QStringLiteral("source.mdb")), QStringLiteral(";pwd=src"));
        const dao::DatabasePtr db1 = open(path());
        const dao::RecordsetPtr rs = db->OpenRecordset(QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ"));
        rs->MoveLast(0);
        rs->MoveFirst();
        for (; !vb::isTrue(rs->Eof()); rs->MoveNext()) {
            const auto n = std::get<std::int64_t>(rs->Fields()->Item(QStringLiteral(u"棟番号"))->Value().storage());
            const dao::RecordsetPtr rs1 = row(db1, static_cast<int>(n));
            if (!vb::isTrue(rs1->Eof()))
                setSecond(rs1, vb::Variant(rs->Fields()->Item(QStringLiteral(u"中学校区"))->Value().toText()));
        }
        rs->Close();
        db->Close();
        db1->Close();
    }
    // Each target row took the value of the first... only matching row: the first of duplicates.
    const QStringList keys = stored(QStringLiteral(u"SELECT 棟番号 FROM 棟マスタ ORDER BY rowid"));
    const QStringList values = stored();
    ASSERT_EQ(values.size(), 300);
    for (int i = 0; i < 300; ++i) {
        const bool firstOfKey = keys.indexOf(keys[i]) == i;
        EXPECT_EQ(values[i], firstOfKey ? QStringLiteral("new") + keys[i] : QStringLiteral("old")) << i;
    }
}

TEST_F(UpdateTest, AKilledProcessLeavesAConsistentFile) {
    QStringList rows;
    for (int n = 1; n <= 200; ++n)
        rows << QStringLiteral("(%1, 'old', 'old')").arg(n);
    standardDb(rows);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Both fields change in one Update: a torn write would show them differing.
        try {
            const dao::DatabasePtr db = dao::DBEngine::create()->Workspaces()->Item(0)->OpenDatabase(
                path(), vb::vbFalse, vb::vbFalse, QStringLiteral(";pwd=") + kKey);
            for (int pass = 1; pass < 100000; ++pass) {
                const dao::RecordsetPtr rs = db->OpenRecordset(QStringLiteral(u"SELECT * FROM 棟マスタ"));
                for (; !vb::isTrue(rs->Eof()); rs->MoveNext()) {
                    rs->Edit();
                    rs->SetCollect(QStringLiteral(u"小学校区"), vb::Variant(pass));
                    rs->SetCollect(QStringLiteral(u"中学校区"), vb::Variant(pass));
                    rs->Update();
                }
            }
        } catch (...) {
        }
        _exit(1);
    }
    // Kill it once a second commit shows it is in the middle of more work.
    RawDb observer(path(), kKey);
    const QString progress = QStringLiteral(u"SELECT total(中学校区) FROM 棟マスタ");
    QStringList seen = observer.column(progress);
    int commits = 0;
    for (auto until = std::chrono::steady_clock::now() + 10s; commits < 2 && std::chrono::steady_clock::now() < until;
         QThread::msleep(20)) {
        if (const QStringList now = observer.column(progress); now != seen) {
            seen = now;
            ++commits;
        }
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(commits, 2);
    EXPECT_EQ(stored(QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
    EXPECT_EQ(stored(QStringLiteral(u"SELECT count(*) FROM 棟マスタ WHERE 小学校区 IS NOT 中学校区")),
              QStringList{"0"});
}

} // namespace
} // namespace daotest
