// Keyed opens answered from the engine's own lookup must give exactly the
// rows, in exactly the order, that SQLite gives for the plain query on the
// file, whatever the column holds, with or without an index, and must follow
// every change to the table.
#include "TestDb.h"

#include "platform/dao/ErrorCodes.h"
#include "platform/dao/sqlcipher/Lookups.h"

#include <map>
#include <random>

namespace daotest {
namespace {

// The ids of the rows a recordset gives, in its order.
QStringList ids(const dao::RecordsetPtr& rs) {
    QStringList values;
    for (; !vb::isTrue(rs->Eof()); rs->MoveNext())
        values << rs->Collect(QStringLiteral("id")).toText();
    return values;
}

// Sets the lookup budget for one test.
class ScopedBudget {
public:
    explicit ScopedBudget(std::size_t bytes) : saved_(dao::detail::lookupBudget()) {
        dao::detail::setLookupBudget(bytes);
    }
    ~ScopedBudget() { dao::detail::setLookupBudget(saved_); }
    ScopedBudget(const ScopedBudget&) = delete;
    ScopedBudget& operator=(const ScopedBudget&) = delete;

private:
    std::size_t saved_;
};

// Values as SQL literals: whole numbers and reals that meet at 105, numbers
// around 2^53 where reals can no longer tell integers apart, texts that look
// like numbers, Null and blobs.
const char* const kStored[] = {
    "105", "105.0", "105.5", "'105'", "'105.0'", "' 105 '", "'abc'", "NULL", "x'313035'", "x''", "0", "-0.0",
    "-7", "3", "3.0", "1e20", "100000000000000000000", "9007199254740992", "9007199254740993",
    "9007199254740993.0", "-9007199254740993", "2147483648", "0.1", "'0.1'",
};

// Numeric literals as a query would be written (text literals are the
// plain query's business, but go through the same comparison here).
const char* const kLiterals[] = {
    "105", "105.0", "105.5", "+105", "- 7", "-7.0", "0", "-0", "0.0", "3", "3.00", "1e20", "1E+20",
    "100000000000000000000", "9007199254740992", "9007199254740993", "-9007199254740993", "2147483648",
    "0.1", "1e999", "999", "'105'", "'abc'", "'0.1'",
};

const char* const kTypes[] = {"INTEGER", "REAL", "NUMERIC", "", "BLOB", "INT", "DOUBLE"};

TEST(KeyLookupProperty, GivesThePlainQueryRowsForEveryValueTypeWithAndWithoutIndex) {
    std::uint64_t answers = 0;
    const dao::DBEnginePtr engine = dao::DBEngine::create();
    int compared = 0;
    for (unsigned seed = 0; seed < 56; ++seed) {
        std::mt19937 rng(seed);
        const QString type = QString::fromLatin1(kTypes[seed % std::size(kTypes)]);
        const bool index = (seed / std::size(kTypes)) % 2 == 1;
        SCOPED_TRACE(QStringLiteral("seed %1, type '%2', %3").arg(seed).arg(type, index ? "index" : "no index")
                         .toStdString());

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("t.mdb"));
        // Rows stored out of rowid order, so that order is the engine's to get right.
        QString setup = QStringLiteral("CREATE TABLE t (id TEXT, k %1);").arg(type);
        const int rows = static_cast<int>(rng() % 60);
        std::vector<int> rowids(static_cast<std::size_t>(rows));
        for (int i = 0; i < rows; ++i)
            rowids[static_cast<std::size_t>(i)] = i * 3 + 1;
        std::shuffle(rowids.begin(), rowids.end(), rng);
        for (int i = 0; i < rows; ++i) {
            // Few distinct values, so that keys repeat.
            const char* value = kStored[rng() % (seed % 3 == 0 ? 5 : std::size(kStored))];
            setup += QStringLiteral("INSERT INTO t (rowid, id, k) VALUES (%1, 'r%2', %3);")
                         .arg(rowids[static_cast<std::size_t>(i)])
                         .arg(i)
                         .arg(QLatin1String(value));
        }
        if (index)
            setup += QStringLiteral("CREATE INDEX tk ON t (k);");
        createDb(file, setup);

        RawDb plain(file, kKey);
        const dao::DatabasePtr db = engine->Workspaces()->Item(0)->OpenDatabase(file, vb::vbFalse, vb::vbFalse,
                                                                                QStringLiteral(";pwd=") + kKey);
        // Twice through: the first opens of a shape go to SQLite, later ones to the lookup.
        for (int pass = 0; pass < 2; ++pass) {
            for (const char* literal : kLiterals) {
                const QString condition = QStringLiteral("k = %1").arg(QLatin1String(literal));
                const QStringList expected =
                    plain.column(QStringLiteral("SELECT id FROM t WHERE %1 ORDER BY rowid").arg(condition));
                EXPECT_EQ(ids(db->OpenRecordset(QStringLiteral("SELECT id FROM t WHERE %1").arg(condition))), expected)
                    << condition.toStdString() << " (pass " << pass << ")";
                ++compared;
            }
        }
        answers += db->statistics().lookupAnswers;
        db->Close();
    }
    EXPECT_EQ(compared, 56 * 2 * static_cast<int>(std::size(kLiterals)));
    // Most of those opens must have been the lookup's, or this proved nothing about it.
    EXPECT_GT(answers, static_cast<std::uint64_t>(compared / 3));
}

class KeyLookupTest : public DaoTest {
protected:
    void SetUp() override {
        QString setup = QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 小学校区 TEXT, 中学校区 TEXT, "
                                       u"id INTEGER PRIMARY KEY);");
        for (int n = 1; n <= 40; ++n) // every number twice
            setup += QStringLiteral(u"INSERT INTO 棟マスタ (棟番号, 小学校区, 中学校区) VALUES (%1, 'p%1', 'j%1');")
                         .arg(n % 20 + 1);
        createDb(path(), setup);
        db = open(path());
    }
    dao::RecordsetPtr row(int number) {
        return db->OpenRecordset(QStringLiteral(u"SELECT id, 棟番号, 中学校区 FROM 棟マスタ WHERE 棟番号=%1").arg(number));
    }
    QStringList plain(int number) {
        return RawDb(path(), kKey).column(
            QStringLiteral(u"SELECT id FROM 棟マスタ WHERE 棟番号 = %1 ORDER BY rowid").arg(number));
    }
    // Opens every number once: from the second open of the shape on, the lookup answers.
    void warmUp() {
        for (int n = 1; n <= 21; ++n)
            EXPECT_EQ(ids(row(n)), plain(n)) << n;
    }

    dao::DatabasePtr db;
};

TEST_F(KeyLookupTest, AWriteToTheKeyColumnThroughARecordsetIsSeenByTheNextOpen) {
    const std::uint64_t built = db->statistics().lookupsBuilt;
    warmUp();
    ASSERT_EQ(db->statistics().lookupsBuilt, built + 1);
    const std::uint64_t answers = db->statistics().lookupAnswers;
    EXPECT_EQ(ids(row(21)), QStringList());
    EXPECT_GT(db->statistics().lookupAnswers, answers);

    // Several moves, some held back by the engine, all visible at once.
    for (const auto& [from, to] : {std::pair(5, 21), std::pair(6, 21), std::pair(7, 5)}) {
        const dao::RecordsetPtr rs = row(from);
        rs->Edit();
        rs->SetCollect(QStringLiteral(u"棟番号"), vb::Variant(to));
        rs->Update();
    }
    // Ours to see at once; the file has them when committed.
    const std::map<int, QStringList> expected{
        {5, {"6", "24"}}, {6, {"25"}}, {7, {"26"}}, {21, {"4", "5"}}};
    for (int pass = 0; pass < 3; ++pass) {
        for (const auto& [n, rows] : expected)
            EXPECT_EQ(ids(row(n)), rows) << n << " pass " << pass;
    }
    db->Close();
    for (const auto& [n, rows] : expected)
        EXPECT_EQ(plain(n), rows) << n;
}

TEST_F(KeyLookupTest, WritesToOtherColumnsKeepTheLookup) {
    warmUp();
    const std::uint64_t built = db->statistics().lookupsBuilt, answers = db->statistics().lookupAnswers;
    for (int n = 1; n <= 20; ++n) {
        const dao::RecordsetPtr rs = row(n);
        rs->Edit();
        rs->SetCollect(QStringLiteral(u"中学校区"), vb::Variant(QStringLiteral("new%1").arg(n)));
        rs->Update();
        EXPECT_EQ(rs->Collect(QStringLiteral(u"中学校区")), vb::Variant(QStringLiteral("new%1").arg(n)));
    }
    EXPECT_EQ(db->statistics().lookupsBuilt, built);
    EXPECT_EQ(db->statistics().lookupAnswers - answers, 20u);
    EXPECT_EQ(row(3)->Collect(QStringLiteral(u"中学校区")), vb::Variant(u"new3"));
}

TEST_F(KeyLookupTest, ARowAnotherConnectionInsertsBetweenTwoOpensIsSeenByTheSecond) {
    warmUp();
    const QStringList before = ids(row(7));
    ASSERT_EQ(before.size(), 2);
    RawDb(path(), kKey).exec(QStringLiteral(u"INSERT INTO 棟マスタ (棟番号, id) VALUES (7, 100), (7.0, 101), ('7', 102)"));
    EXPECT_EQ(ids(row(7)), before + QStringList({"100", "101", "102"}));
    EXPECT_EQ(ids(row(7)), plain(7));
    RawDb(path(), kKey).exec(QStringLiteral(u"DELETE FROM 棟マスタ WHERE id = 100"));
    EXPECT_EQ(ids(row(7)), before + QStringList({"101", "102"}));
}

TEST_F(KeyLookupTest, ATableOverTheBudgetIsAnsweredByThePlainQuery) {
    const ScopedBudget tiny(64);
    const std::uint64_t built = db->statistics().lookupsBuilt, answers = db->statistics().lookupAnswers;
    for (int pass = 0; pass < 3; ++pass) {
        for (int n = 0; n <= 21; ++n)
            EXPECT_EQ(ids(row(n)), plain(n)) << n;
    }
    EXPECT_EQ(db->statistics().lookupsBuilt, built);
    EXPECT_EQ(db->statistics().lookupAnswers, answers);
}

TEST_F(KeyLookupTest, ATextColumnComparedWithANumberIsRefusedEveryTime) {
    // The condition is recognised from the second query of a shape on
    // without being parsed again; the refusal must not get lost there.
    for (int pass = 0; pass < 3; ++pass) {
        const vb::RuntimeError e = raised([&] {
            db->OpenRecordset(QStringLiteral(u"SELECT id FROM 棟マスタ WHERE 小学校区=%1").arg(pass));
        });
        EXPECT_EQ(e.number(), dao::err::kCriteriaTypeMismatch);
    }
    EXPECT_EQ(ids(db->OpenRecordset(QStringLiteral(u"SELECT id FROM 棟マスタ WHERE 小学校区='p3'"))),
              QStringList({"2", "22"}));
}

TEST_F(KeyLookupTest, QueriesSharingAShapeButNotALiteralAreStillReadWhole) {
    warmUp();
    // Same text up to the literal, then something that is no literal alone.
    const QString prefix = QStringLiteral(u"SELECT id, 棟番号, 中学校区 FROM 棟マスタ WHERE 棟番号=");
    const dao::RecordsetPtr rs = db->OpenRecordset(prefix + QStringLiteral("3 ORDER BY id DESC"));
    EXPECT_EQ(ids(rs), QStringList({"22", "2"}));
    EXPECT_EQ(raised([&] { rs->Edit(); }).number(), dao::err::kReadOnly);
    EXPECT_EQ(raised([&] { db->OpenRecordset(prefix + QStringLiteral("3; DELETE FROM 棟マスタ")); }).number(),
              dao::err::kInvalidOperation);
    EXPECT_EQ(ids(db->OpenRecordset(prefix + QStringLiteral(" 3 ;"))), QStringList({"2", "22"}));
    EXPECT_EQ(ids(db->OpenRecordset(prefix + QStringLiteral("'3'"))), QStringList({"2", "22"}));
}

TEST(KeyLookupStart, AColumnWithoutAnIndexGetsItsLookupAtTheFirstOpen) {
    // With an index in front, one open is SQLite's to answer; without, the
    // plain query would scan the whole table, so that scan builds the lookup.
    const struct {
        const char* name;
        const char* schema;
        bool indexed;
    } cases[] = {
        {"no index", "CREATE TABLE t (k INTEGER, x TEXT, id INTEGER PRIMARY KEY)", false},
        {"index on the column", "CREATE TABLE t (k INTEGER, x TEXT, id INTEGER PRIMARY KEY); CREATE INDEX i ON t (k)",
         true},
        {"column leads a wider index", "CREATE TABLE t (k INTEGER, x TEXT, id INTEGER PRIMARY KEY); "
                                       "CREATE INDEX i ON t (K, x)",
         true},
        {"column second in an index", "CREATE TABLE t (k INTEGER, x TEXT, id INTEGER PRIMARY KEY); "
                                      "CREATE INDEX i ON t (x, k)",
         false},
        {"column is the rowid", "CREATE TABLE t (x TEXT, k INTEGER PRIMARY KEY)", true},
        {"column leads the primary key", "CREATE TABLE t (k INTEGER, x TEXT, PRIMARY KEY (k, x))", true},
        {"column second in the primary key", "CREATE TABLE t (x TEXT, k INTEGER, PRIMARY KEY (x, k))", false},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("t.mdb"));
        QString setup = QString::fromUtf8(c.schema) + QLatin1Char(';');
        for (int n = 1; n <= 30; ++n)
            setup += QStringLiteral("INSERT OR IGNORE INTO t (k, x) VALUES (%1, 'x%2');").arg(n % 10).arg(n);
        createDb(file, setup);
        const dao::DatabasePtr db = dao::DBEngine::create()->Workspaces()->Item(0)->OpenDatabase(
            file, vb::vbFalse, vb::vbFalse, QStringLiteral(";pwd=") + kKey);
        const auto count = [&db](int k) {
            const dao::RecordsetPtr rs = db->OpenRecordset(QStringLiteral("SELECT k, x FROM t WHERE k=%1").arg(k));
            int rows = 0;
            for (; !vb::isTrue(rs->Eof()); rs->MoveNext())
                ++rows;
            return rows;
        };
        const auto plain = [&file](int k) {
            return RawDb(file, kKey).column(QStringLiteral("SELECT count(*) FROM t WHERE k = %1").arg(k)).value(0).toInt();
        };
        const std::uint64_t built = db->statistics().lookupsBuilt;
        EXPECT_EQ(count(3), plain(3)) << c.name;
        EXPECT_EQ(db->statistics().lookupsBuilt - built, c.indexed ? 0u : 1u) << c.name;
        EXPECT_EQ(count(4), plain(4)) << c.name;
        EXPECT_EQ(db->statistics().lookupsBuilt - built, 1u) << c.name;
        db->Close();
    }
}

} // namespace
} // namespace daotest
