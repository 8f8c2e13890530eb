// The pieces behind the quick paths on their own: held updates keep every
// value exactly and apply in rowid order with the last word per row, and a
// query's literal is read the same whether the whole text is parsed or only
// the part after a known shape.
#include "TestDb.h"

#include "platform/dao/sqlcipher/PendingWrites.h"
#include "platform/dao/SelectParser.h"

namespace daotest {
namespace {

using dao::detail::PendingWrites;

QStringList columnOf(sqlite3* db, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &raw, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    const dao::detail::Statement stmt(raw);
    QStringList values;
    while (sqlite3_step(stmt.get()) == SQLITE_ROW)
        values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0)));
    return values;
}

// Applies the arranged updates to an in-memory table; returns each applied
// update as "rowid:statement:values" in the order applied.
QStringList apply(PendingWrites& writes, sqlite3* db) {
    writes.arrange();
    QStringList applied;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        sqlite3_stmt* raw = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, writes.sql(i).constData(), -1, &raw, nullptr), SQLITE_OK);
        const dao::detail::Statement stmt(raw);
        EXPECT_EQ(writes.bind(i, stmt.get()), SQLITE_OK);
        EXPECT_EQ(sqlite3_step(stmt.get()), SQLITE_DONE) << sqlite3_errmsg(db);
        applied << QString::fromUtf8(writes.sql(i));
    }
    return applied;
}

// An in-memory database made by `setup`; null when that failed.
dao::detail::Handle memoryDb(const char* setup) {
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open(":memory:", &raw);
    dao::detail::Handle db(raw);
    EXPECT_EQ(opened, SQLITE_OK);
    if (opened != SQLITE_OK)
        return {};
    EXPECT_EQ(sqlite3_exec(raw, setup, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(raw);
    return db;
}

TEST(PendingWrites, KeepsEveryKindOfValueExactly) {
    const dao::detail::Handle db = memoryDb("CREATE TABLE t (a, b); "
                                                "INSERT INTO t (rowid) VALUES (1), (2), (3), (4), (5), (6), (7)");
    ASSERT_TRUE(db);
    sqlite3* const raw = db.get();
    const QByteArray sql = "UPDATE t SET a = ?1, b = typeof(?1) WHERE rowid = ?2";
    const vb::Variant values[] = {vb::Variant(), vb::Variant(std::int64_t{-9007199254740993}), vb::Variant(-0.25),
                                  vb::Variant(u"日本語 and 'quotes'"), vb::Variant(QString()),
                                  vb::Variant(QByteArray("\0\x01\xff", 3)), vb::Variant(QByteArray())};
    PendingWrites writes;
    for (std::size_t i = 0; i < std::size(values); ++i)
        writes.add(sql, static_cast<std::int64_t>(std::size(values) - i), {&values[i]});
    EXPECT_EQ(apply(writes, raw).size(), 7);
    EXPECT_EQ(columnOf(raw, "SELECT quote(a) || ' ' || b FROM t ORDER BY rowid DESC"),
              QStringList({"NULL null", "-9007199254740993 integer", "-0.25 real",
                           QStringLiteral(u"'日本語 and ''quotes''' text"), "'' text", "X'0001FF' blob", "X'' blob"}));
}

TEST(PendingWrites, AppliesInRowidOrderAndTheLastUpdateOfARowWins) {
    const dao::detail::Handle db = memoryDb("CREATE TABLE t (a, b, log); "
                                                "INSERT INTO t (rowid, log) VALUES (1, ''), (2, ''), (3, '')");
    ASSERT_TRUE(db);
    sqlite3* const raw = db.get();
    // Each statement also records that it ran, so a dropped update shows.
    const QByteArray setA = "UPDATE t SET a = ?1, log = log || 'a' || ?1 WHERE rowid = ?2";
    const QByteArray setB = "UPDATE t SET b = ?1, log = log || 'b' || ?1 WHERE rowid = ?2";
    const vb::Variant v[] = {vb::Variant(1), vb::Variant(2), vb::Variant(3), vb::Variant(4), vb::Variant(5)};
    PendingWrites writes;
    writes.add(setA, 3, {&v[0]});
    writes.add(setA, 1, {&v[1]});
    writes.add(setB, 3, {&v[2]});
    writes.add(setA, 3, {&v[3]}); // another field in between: both of the row's A updates stay
    writes.add(setA, 1, {&v[4]}); // straight after the first of row 1: that one is moot
    EXPECT_EQ(writes.size(), 5u);
    EXPECT_EQ(apply(writes, raw), QStringList({setA, setA, setB, setA}));
    EXPECT_EQ(columnOf(raw, "SELECT rowid || ':' || quote(a) || ':' || quote(b) || ':' || log FROM t ORDER BY rowid"),
              QStringList({"1:5:NULL:a5", "2:NULL:NULL:", "3:4:3:a1b3a4"}));
    writes.clear();

    // What is applied can be let go while the rest stays, as after a failure half way.
    writes.add(setB, 2, {&v[0]});
    writes.add(setB, 1, {&v[1]});
    writes.arrange();
    writes.dropApplied(1);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(apply(writes, raw), QStringList({setB}));
    EXPECT_EQ(columnOf(raw, "SELECT quote(b) FROM t ORDER BY rowid"), QStringList({"NULL", "1", "3"}));
    writes.clear();
    EXPECT_TRUE(writes.empty());
}

TEST(SelectShape, TheLiteralAfterAKnownShapeReadsAsInTheWholeQuery) {
    const QString queries[] = {
        QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ WHERE 棟番号=105"),
        QStringLiteral(u"select * from [棟マスタ] where \"棟番号\" =  -7 ;"),
        QStringLiteral(u"SELECT a FROM t WHERE a = + 2.5e3"),
        QStringLiteral(u"SELECT a FROM t WHERE a='it''s'"),
        QStringLiteral(u"SELECT a FROM t WHERE a=99999999999999999999"),
        QStringLiteral(u"SELECT a FROM t WHERE a=.5;"),
    };
    for (const QString& sql : queries) {
        SCOPED_TRACE(sql.toStdString());
        const std::optional<dao::detail::SimpleSelect> whole = dao::detail::parseSimpleSelect(sql);
        ASSERT_TRUE(whole && whole->where);
        const qsizetype start = whole->where->literalStart;
        EXPECT_EQ(dao::detail::parseLiteralAt(sql, start), whole->where->literal);
        // Another literal after the same shape, and things that are no literal alone.
        const QString shape = sql.left(start);
        EXPECT_EQ(dao::detail::parseLiteralAt(shape + QStringLiteral("12"), start),
                  dao::detail::SimpleSelect::Literal(std::int64_t{12}));
        for (const QString& tail : {QStringLiteral("12 AND b=1"), QStringLiteral("12abc"), QStringLiteral("-'x'"),
                                    QStringLiteral("x"), QStringLiteral(""), QStringLiteral("1; 2")}) {
            EXPECT_FALSE(dao::detail::parseLiteralAt(shape + tail, start)) << tail.toStdString();
            EXPECT_FALSE(dao::detail::parseSimpleSelect(shape + tail)) << tail.toStdString();
        }
    }
}

} // namespace
} // namespace daotest
