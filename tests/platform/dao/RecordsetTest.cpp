#include "TestDb.h"

#include "platform/dao/ErrorCodes.h"

#include <QFile>

#include <functional>

namespace daotest {
namespace {

using namespace dao::err;

class RecordsetTest : public DaoTest {
protected:
    // Every remaining row's value of one field, from the current row on.
    static QStringList remaining(const dao::RecordsetPtr& rs, const QString& field) {
        QStringList values;
        for (; !vb::isTrue(rs->Eof()); rs->MoveNext())
            values << rs->Fields()->Item(field)->Value().toText();
        return values;
    }
};

TEST_F(RecordsetTest, GivesRowsInStoredOrderIncludingDuplicateKeys) {
    createDb(path(), kStandardTable + QStringLiteral(u"INSERT INTO 棟マスタ (rowid, 棟番号, 中学校区) VALUES "
                                                     u"(30, 7, 'third'), (10, 7, 'first'), (20, 8, 'second');"));
    const dao::DatabasePtr db = open(path());
    const dao::RecordsetPtr all = db->OpenRecordset(QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ"));
    EXPECT_EQ(all->RecordCount(), 3);
    all->MoveLast(0);
    EXPECT_EQ(all->Collect(QStringLiteral(u"中学校区")), vb::Variant(u"third"));
    all->MoveFirst();
    EXPECT_EQ(remaining(all, QStringLiteral(u"中学校区")), QStringList({"first", "second", "third"}));
    const dao::RecordsetPtr sevens = db->OpenRecordset(QStringLiteral(u"SELECT * FROM 棟マスタ WHERE 棟番号=7"));
    EXPECT_EQ(remaining(sevens, QStringLiteral(u"中学校区")), QStringList({"first", "third"}));
}

TEST_F(RecordsetTest, ComparesTheLiteralAsWritten) {
    // An untyped key column keeps every value as inserted, so the literal's
    // own type decides what it equals.
    createDb(path(), QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号, 小学校区 TEXT, 中学校区 TEXT);"
                                    u"INSERT INTO 棟マスタ VALUES (105, '', 'int'), (105.0, '', 'real'), "
                                    u"('105', '', 'text'), (NULL, '', 'null'), (1050, '', 'other'), "
                                    u"(-2.5, '', 'negative'), ('O''Hara', '', 'quote');"));
    const dao::DatabasePtr db = open(path());
    const struct {
        QString condition;
        QStringList expected;
    } cases[] = {
        {QStringLiteral(u"棟番号=105"), {"int", "real"}},
        {QStringLiteral(u"[棟番号] = 105.0"), {"int", "real"}},
        {QStringLiteral(u"\"棟番号\"='105'"), {"text"}},
        {QStringLiteral(u"棟番号 =\t-2.5"), {"negative"}},
        {QStringLiteral(u"棟番号='O''Hara'"), {"quote"}},
        {QStringLiteral(u"棟番号=999"), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.condition.toStdString());
        const dao::RecordsetPtr rs =
            db->OpenRecordset(QStringLiteral(u"select 棟番号, 中学校区\nFROM [棟マスタ] WHERE %1;").arg(c.condition));
        EXPECT_EQ(rs->RecordCount(), c.expected.size());
        EXPECT_EQ(remaining(rs, QStringLiteral(u"中学校区")), c.expected);
    }
}

TEST_F(RecordsetTest, LookupsFollowChangesToTheFile) {
    const dao::DatabasePtr db = open(standardDb({QStringLiteral("(1, 'a', 'x')"), QStringLiteral("(2, 'b', 'y')")}));
    const auto count = [&](int key) {
        return db->OpenRecordset(QStringLiteral(u"SELECT * FROM 棟マスタ WHERE 棟番号=%1").arg(key))->RecordCount();
    };
    EXPECT_EQ(count(5), 0);
    RawDb(path(), kKey).exec(QStringLiteral(u"UPDATE 棟マスタ SET 棟番号 = 5 WHERE 棟番号 = 1"));
    EXPECT_EQ(count(5), 1);
    EXPECT_EQ(count(1), 0);

    const dao::RecordsetPtr all = db->OpenRecordset(QStringLiteral(u"SELECT * FROM 棟マスタ"));
    EXPECT_EQ(all->Collect(QStringLiteral(u"棟番号")), vb::Variant(5));
    const dao::RecordsetPtr second = db->OpenRecordset(QStringLiteral(u"SELECT * FROM 棟マスタ WHERE 棟番号=2"));
    second->Edit();
    second->SetCollect(QStringLiteral(u"棟番号"), vb::Variant(5));
    second->Update();
    EXPECT_EQ(count(5), 2);
    EXPECT_EQ(count(2), 0);
    all->MoveNext(); // read before the update, shown as updated
    EXPECT_EQ(all->Collect(QStringLiteral(u"棟番号")), vb::Variant(5));
}

TEST_F(RecordsetTest, ReadsLongRecordsetsBothWaysAndNoticesDeletedRows) {
    QStringList rows;
    for (int n = 1; n <= 150; ++n)
        rows << QStringLiteral("(%1, 'a', 'x')").arg(n);
    const dao::DatabasePtr db = open(standardDb(rows));
    const dao::RecordsetPtr rs = db->OpenRecordset(QStringLiteral(u"SELECT 棟番号 FROM 棟マスタ"));
    EXPECT_EQ(rs->Collect(QStringLiteral(u"棟番号")), vb::Variant(1));
    RawDb(path(), kKey).exec(QStringLiteral(u"DELETE FROM 棟マスタ WHERE 棟番号 = 100"));
    QStringList forwards, backwards;
    for (int n = 1; n <= 150; ++n, rs->MoveNext()) {
        if (n == 100)
            EXPECT_EQ(raised([&] { rs->Collect(QStringLiteral(u"棟番号")); }).number(), kRecordDeleted);
        else
            forwards << rs->Collect(QStringLiteral(u"棟番号")).toText();
    }
    EXPECT_TRUE(vb::isTrue(rs->Eof()));
    int n = 150;
    for (rs->MoveLast(0); !vb::isTrue(rs->Bof()); rs->MovePrevious(), --n) {
        if (n != 100)
            backwards.prepend(rs->Collect(QStringLiteral(u"棟番号")).toText());
    }
    EXPECT_EQ(n, 0);
    EXPECT_EQ(forwards.size(), 149);
    EXPECT_EQ(backwards, forwards);
}

TEST_F(RecordsetTest, ReadsRowsOfMegabytesBothWaysAndNoticesDeletedRows) {
    // A batch read ahead ends, or lets its first rows go, once its rows
    // take megabytes; the rows are made when read, so the file stays small.
    const struct {
        const char* name;
        QString length; // of each row's 中学校区, from its 棟番号
    } cases[] = {
        {"every row 1 MiB", QStringLiteral("1048576")},
        {"every fifth 3 MiB", QStringLiteral(u"CASE WHEN 棟番号 % 5 = 0 THEN 3145728 ELSE 1000 END")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(QString::fromLatin1(c.name));
        createDb(file, QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 小学校区 TEXT, 中学校区 TEXT "
                                      u"GENERATED ALWAYS AS (printf('%.*c', %1, 'x')));"
                                      u"WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 40) "
                                      u"INSERT INTO 棟マスタ (棟番号) SELECT n FROM c;")
                           .arg(c.length));
        const QStringList expected = RawDb(file, kKey).rows(
            QStringLiteral(u"SELECT 棟番号, length(中学校区) FROM 棟マスタ WHERE 棟番号 <> 20 ORDER BY rowid"));
        const dao::RecordsetPtr rs =
            open(file)->OpenRecordset(QStringLiteral(u"SELECT 棟番号, 中学校区 FROM 棟マスタ"));
        RawDb(file, kKey).exec(QStringLiteral(u"DELETE FROM 棟マスタ WHERE 棟番号 = 20"));
        const auto here = [&] {
            return rs->Collect(QStringLiteral(u"棟番号")).toText() + u'|' +
                   QString::number(rs->Collect(QStringLiteral(u"中学校区")).toText().size());
        };
        QStringList forwards, backwards;
        for (int n = 1; n <= 40; ++n, rs->MoveNext()) {
            if (n == 20)
                EXPECT_EQ(raised([&] { rs->Collect(QStringLiteral(u"棟番号")); }).number(), kRecordDeleted);
            else
                forwards << here();
        }
        EXPECT_TRUE(vb::isTrue(rs->Eof()));
        int n = 40;
        for (rs->MoveLast(0); !vb::isTrue(rs->Bof()); rs->MovePrevious(), --n) {
            if (n == 20)
                EXPECT_EQ(raised([&] { rs->Collect(QStringLiteral(u"棟番号")); }).number(), kRecordDeleted);
            else
                backwards.prepend(here());
        }
        EXPECT_EQ(n, 0);
        EXPECT_EQ(expected.size(), 39);
        EXPECT_EQ(forwards, expected);
        EXPECT_EQ(backwards, expected);
    }
}

TEST_F(RecordsetTest, HandsOutValuesOfEveryStorageClass) {
    createDb(path(), QStringLiteral("CREATE TABLE t (a, b, c, d, e); INSERT INTO t VALUES (NULL, 42, 2.5, 'テキスト', x'0102');"));
    const dao::RecordsetPtr rs = open(path())->OpenRecordset(QStringLiteral("SELECT * FROM t"));
    EXPECT_EQ(rs->Fields()->Count(), 5);
    EXPECT_TRUE(rs->Collect(QStringLiteral("a")).isNull());
    EXPECT_EQ(rs->Collect(QStringLiteral("B")), vb::Variant(std::int64_t{42}));
    EXPECT_EQ(rs->Collect(QStringLiteral("c")), vb::Variant(2.5));
    EXPECT_EQ(rs->Fields()->Item(QStringLiteral("d"))->Value(), vb::Variant(u"テキスト"));
    EXPECT_EQ(rs->Collect(QStringLiteral("e")), vb::Variant(QByteArray("\x01\x02")));
}

TEST_F(RecordsetTest, NavigatesAndRefusesToLeaveTheRows) {
    const dao::DatabasePtr db = open(standardDb({QStringLiteral("(1, 'a', 'x')"), QStringLiteral("(2, 'b', 'y')")}));
    const dao::RecordsetPtr rs = db->OpenRecordset(QStringLiteral(u"SELECT * FROM 棟マスタ"));
    EXPECT_FALSE(vb::isTrue(rs->Bof()));
    rs->MovePrevious();
    EXPECT_TRUE(vb::isTrue(rs->Bof()));
    EXPECT_EQ(raised([&] { rs->MovePrevious(); }).number(), kNoCurrentRecord);
    EXPECT_EQ(raised([&] { rs->Collect(QStringLiteral(u"棟番号")); }).number(), kNoCurrentRecord);
    rs->MoveNext();
    EXPECT_EQ(rs->Collect(QStringLiteral(u"棟番号")), vb::Variant(1));
    rs->MoveNext();
    rs->MoveNext();
    EXPECT_TRUE(vb::isTrue(rs->Eof()));
    EXPECT_EQ(raised([&] { rs->MoveNext(); }).number(), kNoCurrentRecord);
    EXPECT_EQ(raised([&] { rs->Edit(); }).number(), kNoCurrentRecord);

    const dao::RecordsetPtr none = db->OpenRecordset(QStringLiteral(u"SELECT * FROM 棟マスタ WHERE 棟番号=3"));
    EXPECT_TRUE(vb::isTrue(none->Eof()) && vb::isTrue(none->Bof()));
    EXPECT_EQ(none->RecordCount(), 0);
    for (const auto& move : std::initializer_list<std::function<void()>>{
             [&] { none->MoveFirst(); }, [&] { none->MoveLast(0); }, [&] { none->MoveNext(); }, [&] { none->Edit(); }})
        EXPECT_EQ(raised(move).number(), kNoCurrentRecord);
}

TEST_F(RecordsetTest, NamesWhatItCannotFind) {
    const dao::DatabasePtr db = open(standardDb({QStringLiteral("(1, 'a', 'x')")}));
    const struct {
        QString sql;
        int number;
        QString named;
    } cases[] = {
        {QStringLiteral(u"SELECT * FROM 棟マスタ2"), kTableNotFound, QStringLiteral(u"棟マスタ2")},
        {QStringLiteral(u"SELECT count(*) FROM 無い表"), kTableNotFound, QStringLiteral(u"無い表")},
        {QStringLiteral(u"SELECT 棟番号,高校区 FROM 棟マスタ"), kItemNotFound, QStringLiteral(u"高校区")},
        {QStringLiteral(u"SELECT * FROM 棟マスタ WHERE 番号=1"), kItemNotFound, QStringLiteral(u"番号")},
        {QStringLiteral(u"SELECT 高校区 FROM 棟マスタ ORDER BY 1"), kItemNotFound, QStringLiteral(u"高校区")},
        {QStringLiteral(u"SELECT * FROM 棟マスタ WHERE 小学校区=1"), kCriteriaTypeMismatch, QStringLiteral(u"小学校区")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql.toStdString());
        const vb::RuntimeError e = raised([&] { db->OpenRecordset(c.sql); });
        EXPECT_EQ(e.number(), c.number);
        EXPECT_TRUE(e.description().contains(c.named)) << e.what();
    }
    const dao::RecordsetPtr rs = db->OpenRecordset(QStringLiteral(u"SELECT 棟番号 FROM 棟マスタ"));
    EXPECT_EQ(raised([&] { rs->Fields()->Item(QStringLiteral(u"中学校区")); }).number(), kItemNotFound);
    EXPECT_EQ(raised([&] { rs->Collect(QStringLiteral(u"中学校区")); }).number(), kItemNotFound);
}

TEST_F(RecordsetTest, OtherQueriesGiveReadOnlySnapshots) {
    const QString file = standardDb({QStringLiteral("(1, 'a', 'x')"), QStringLiteral("(2, 'b', 'y')")},
                                    kStandardTable + QStringLiteral(u"CREATE TABLE w (k INTEGER PRIMARY KEY, v) WITHOUT "
                                                                    u"ROWID; INSERT INTO w VALUES (2, 'y');"
                                                                    u"CREATE VIEW 表示 AS SELECT * FROM 棟マスタ;"));
    const dao::DatabasePtr db = open(file);
    const dao::RecordsetPtr counted =
        db->OpenRecordset(QStringLiteral(u"SELECT count(*) AS n, max(中学校区) AS m FROM 棟マスタ"));
    EXPECT_EQ(counted->Collect(QStringLiteral("n")), vb::Variant(2));
    EXPECT_EQ(counted->Collect(QStringLiteral("M")), vb::Variant(u"y"));
    for (const QString& sql : {QStringLiteral(u"SELECT count(*) AS n, max(中学校区) AS m FROM 棟マスタ"),
                               QStringLiteral("SELECT * FROM w WHERE k = 2"),
                               QStringLiteral(u"SELECT * FROM 表示 WHERE 棟番号 = 2")}) {
        const dao::RecordsetPtr rs = db->OpenRecordset(sql);
        EXPECT_EQ(rs->RecordCount(), 1) << sql.toStdString();
        EXPECT_EQ(raised([&] { rs->Edit(); }).number(), kReadOnly) << sql.toStdString();
    }

    const QByteArray before = fileBytes(file);
    for (const QString& sql : {QStringLiteral(u"DELETE FROM 棟マスタ"), QStringLiteral("PRAGMA journal_mode = WAL"),
                               QStringLiteral(u"SELECT 1; DROP TABLE 棟マスタ")})
        EXPECT_EQ(raised([&] { db->OpenRecordset(sql); }).number(), kInvalidOperation) << sql.toStdString();
    db->Close();
    EXPECT_EQ(fileBytes(file), before);
}

TEST_F(RecordsetTest, ClosedObjectsAreNoLongerSet) {
    const dao::DatabasePtr db = open(standardDb({QStringLiteral("(1, 'a', 'x')")}));
    const dao::RecordsetPtr closed = db->OpenRecordset(QStringLiteral(u"SELECT * FROM 棟マスタ"));
    const dao::RecordsetPtr open = db->OpenRecordset(QStringLiteral(u"SELECT * FROM 棟マスタ"));
    const dao::FieldPtr field = open->Fields()->Item(QStringLiteral(u"棟番号"));
    closed->Close();
    EXPECT_EQ(raised([&] { closed->Close(); }).number(), kObjectInvalid);
    EXPECT_EQ(raised([&] { closed->Eof(); }).number(), kObjectInvalid);
    EXPECT_EQ(field->Value(), vb::Variant(1));
    db->Close();
    // Closing the database closed its recordsets with it.
    EXPECT_EQ(raised([&] { field->Value(); }).number(), kObjectInvalid);
    EXPECT_EQ(raised([&] { open->MoveNext(); }).number(), kObjectInvalid);
    EXPECT_EQ(raised([&] { db->OpenRecordset(QStringLiteral(u"SELECT * FROM 棟マスタ")); }).number(), kObjectInvalid);
    EXPECT_EQ(raised([&] { db->Close(); }).number(), kObjectInvalid);
}

// A file opened apart (on its own thread, rows handed over in batches) reads
// and edits as the same file opened here: across batch ends, backwards, and
// past a batch cut short by its bytes.
TEST_F(RecordsetTest, OpenedApartReadsAndEditsAsOpenedHere) {
    const QString original = path(QStringLiteral("original.mdb"));
    createDb(original, kStandardTable + QStringLiteral(u"WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r "
                                                     u"LIMIT 1300) INSERT INTO 棟マスタ SELECT n, "
                                                     u"CASE WHEN n % 500 = 7 THEN printf('%.*c', 3000000, 'x') END, "
                                                     u"'j' || n FROM r;"));
    using Walk = std::function<QStringList(const dao::RecordsetPtr&)>;
    const auto read = [](const dao::RecordsetPtr& rs) {
        return QString::number(rs->Collect(QStringLiteral(u"小学校区")).toText().size()) + QLatin1Char('/') +
               rs->Collect(QStringLiteral(u"中学校区")).toText();
    };
    const struct {
        const char* name;
        Walk walk;
    } walks[] = {
        {"Forwards", [&](const dao::RecordsetPtr& rs) {
             QStringList seen;
             for (; !vb::isTrue(rs->Eof()); rs->MoveNext())
                 seen << read(rs);
             return seen;
         }},
        {"BackwardsFromTheLast", [&](const dao::RecordsetPtr& rs) {
             QStringList seen;
             for (rs->MoveLast(0); !vb::isTrue(rs->Bof()); rs->MovePrevious())
                 seen << read(rs);
             return seen;
         }},
        {"ToAndFro", [&](const dao::RecordsetPtr& rs) {
             QStringList seen;
             for (int i = 0; i < 700; ++i)
                 rs->MoveNext();
             seen << read(rs);
             for (int i = 0; i < 300; ++i)
                 rs->MovePrevious();
             seen << read(rs);
             rs->MoveLast(0);
             seen << read(rs) << QString::number(rs->RecordCount());
             rs->MoveFirst();
             seen << read(rs);
             return seen;
         }},
        {"EditedThenRead", [&](const dao::RecordsetPtr& rs) {
             for (int i = 0; i < 600; ++i)
                 rs->MoveNext();
             rs->Edit();
             rs->SetCollect(QStringLiteral(u"中学校区"), vb::Variant(u"changed"));
             QStringList seen{read(rs)};
             rs->Update();
             seen << read(rs);
             rs->MoveNext();
             rs->Edit();
             rs->MovePrevious(); // leaves the edit
             seen << read(rs) << QString::number(raised([&] { rs->Update(); }).number());
             return seen;
         }},
    };
    for (const auto& w : walks) {
        SCOPED_TRACE(w.name);
        const QString copy = path(QStringLiteral("%1-apart.mdb").arg(QLatin1String(w.name)));
        const QString mine = path(QStringLiteral("%1-here.mdb").arg(QLatin1String(w.name)));
        ASSERT_TRUE(QFile::copy(original, copy));
        ASSERT_TRUE(QFile::copy(original, mine));
        const QString connect = QStringLiteral(";pwd=") + kKey;
        const QString sql = QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ");
        const dao::DatabasePtr here = open(mine);
        const dao::DatabasePtr apart = engine->Workspaces()->Item(0)->OpenDatabaseApart(copy, vb::vbFalse, vb::vbFalse, connect);
        const QStringList expected = w.walk(here->OpenRecordset(sql));
        ASSERT_FALSE(expected.isEmpty());
        EXPECT_EQ(w.walk(apart->OpenRecordset(sql)), expected);
        here->Close();
        apart->Close();
    }
}

} // namespace
} // namespace daotest
