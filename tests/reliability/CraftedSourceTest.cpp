// Source files made to harm the program: the key is in the program, so
// anyone can make a file that opens. Each run, in a child process, ends in
// the error report or the completion box, never in a crash, and the target
// holds only its own values or the source's.
#include "tests/reliability/Process.h"
#include "tests/reliability/Revision.h"
#include "tests/support/EncryptedDb.h"

#include "platform/dao/ErrorCodes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sys/stat.h>

#include <functional>

namespace reliability {
namespace {

using namespace std::chrono_literals;

const QString kView = QStringLiteral(u"CREATE VIEW 棟マスタ AS SELECT %1 AS 棟番号, '' AS 棟名称, '' AS 小学校区, "
                                     u"%2 AS 中学校区 FROM base;");
const QString kBase = QStringLiteral("CREATE TABLE base (n INTEGER); INSERT INTO base VALUES (1), (2), (3);");

// Schema entries written behind SQLite's back, as a hostile file would carry them.
QString rawSchema(const QStringList& entries) {
    QString sql = QStringLiteral("PRAGMA writable_schema = ON;");
    for (const QString& entry : entries)
        sql += QStringLiteral("INSERT INTO sqlite_master VALUES %1;").arg(entry);
    return sql + QStringLiteral("PRAGMA writable_schema = OFF;");
}

struct CraftedCase {
    const char* name;
    std::function<void(const QString& path)> make;
    int error; // the report's number; 0 when the run may also complete
};

void PrintTo(const CraftedCase& c, std::ostream* os) {
    *os << c.name;
}

void encrypted(const QString& path, const QString& script) {
    testsupport::CreateDb(path, kSourceKey, script);
}

// 棟マスタ over `links` views (or common table expressions of one view), each
// putting `depth` more levels of `step` on 棟番号 ("+0" after it, "~" before it).
QString deepChain(int links, bool commonTableExpressions, int depth, const char16_t* step) {
    const QString deeper = QString::fromUtf16(step).repeated(depth);
    const QString number = deeper.startsWith(QLatin1Char('~')) ? deeper + QStringLiteral(u"棟番号")
                                                               : QStringLiteral(u"棟番号") + deeper;
    const QString link = QStringLiteral(u"SELECT %1 AS 棟番号, 棟名称, 小学校区, 中学校区 FROM %2").arg(number);
    QString script = QStringLiteral(u"CREATE TABLE l0 (棟番号 INTEGER, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT);"
                                    u"INSERT INTO l0 VALUES (1, 'a', 'p', 'x'), (2, 'b', 'p', 'y');");
    QStringList ctes;
    for (int i = 1; i <= links; ++i) {
        const QString from = QStringLiteral("l%1").arg(i - 1);
        if (commonTableExpressions)
            ctes << QStringLiteral("l%1 AS (%2)").arg(i).arg(link.arg(from));
        else
            script += QStringLiteral("CREATE VIEW l%1 AS %2;").arg(i).arg(link.arg(from));
    }
    const QString last = QStringLiteral("l%1").arg(links);
    return script + (commonTableExpressions
                         ? QStringLiteral(u"CREATE VIEW 棟マスタ AS WITH %1 SELECT * FROM %2;").arg(ctes.join(u','), last)
                         : QStringLiteral(u"CREATE VIEW 棟マスタ AS SELECT * FROM %1;").arg(last));
}

const CraftedCase kCases[] = {
    {"TableCreatedAsSelectInTheSchema",
     [](const QString& p) {
         writeTable(p, kSourceKey, {{"1", "a", "p", "x"}});
         testsupport::RawDb(p, kSourceKey, testsupport::RawDb::Mode::ReadWrite)
             .exec(rawSchema({QStringLiteral("('table', 'c', 'c', 0, 'CREATE TABLE c AS SELECT 1')")}));
     },
     0},
    {"StatisticsRowWithSizeZero",
     [](const QString& p) {
         encrypted(p, kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES (1, 'a', 'p', 'x'), (2, 'b', 'p', 'y');"
                                              u"CREATE INDEX i ON 棟マスタ (棟番号); ANALYZE;"
                                              u"UPDATE sqlite_stat1 SET stat = '2 1 sz=0';"));
     },
     0},
    {"FullTextTableThroughAView",
     [](const QString& p) {
         encrypted(p, kBase + kView.arg(QStringLiteral("n"), QStringLiteral("(SELECT x FROM f)")) +
                          rawSchema({QStringLiteral("('table', 'f', 'f', 0, 'CREATE VIRTUAL TABLE f USING fts3(x)')")}));
     },
     dao::err::kDatabaseError},
    {"NodeDecoderOnAShortBlob",
     [](const QString& p) { encrypted(p, kBase + kView.arg(QStringLiteral("n"), QStringLiteral("rtreenode(2, x'00')"))); },
     dao::err::kDatabaseError},
    {"ViewsChainedTwentyThousandDeep",
     [](const QString& p) {
         QStringList views;
         for (int i = 1; i <= 20000; ++i)
             views << QStringLiteral("('view', 'v%1', 'v%1', 0, 'CREATE VIEW v%1 AS SELECT * FROM v%2')").arg(i).arg(i - 1);
         views << QStringLiteral(u"('view', '棟マスタ', '棟マスタ', 0, 'CREATE VIEW 棟マスタ AS SELECT * FROM v20000')");
         encrypted(p, QStringLiteral(u"CREATE TABLE v0 (棟番号 INTEGER, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT);") +
                          rawSchema(views));
     },
     dao::err::kCorrupt},
    // Expressions near SQLite's depth limit, stacked by views and common
    // table expressions that SQLite expands into one another while preparing.
    {"DeepExpressionsThroughTwentyViews", [](const QString& p) { encrypted(p, deepChain(20, false, 990, u"+0")); }, 0},
    {"DeepExpressionsInTwentyTwoCommonTableExpressions",
     [](const QString& p) { encrypted(p, deepChain(22, true, 990, u"+0")); }, 0},
    {"DeepExpressionsThroughMoreDefinitionsThanAllowed",
     [](const QString& p) { encrypted(p, deepChain(150, false, 990, u"~")); }, dao::err::kCorrupt},
    {"TextOfThreeHundredMegabytes",
     [](const QString& p) {
         encrypted(p, kBase + kView.arg(QStringLiteral("n"), QStringLiteral("printf('%.*c', 300000000, 'x')")));
     },
     0},
    {"BlobOfThreeHundredMegabytes",
     [](const QString& p) { encrypted(p, kBase + kView.arg(QStringLiteral("n"), QStringLiteral("zeroblob(300000000)"))); },
     dao::err::kDatabaseError},
};

class CraftedSourceTest : public ::testing::TestWithParam<CraftedCase> {};

TEST_P(CraftedSourceTest, EndsInTheReportOrTheBoxAndTheTargetHoldsNothingForeign) {
    const CraftedCase& c = GetParam();
    Layout files;
    const std::vector<Row> target = {{"1", "a", "p", "old1"}, {"2", "b", "p", "old2"}, {"3", "c", "p", "old3"}};
    writeTable(files.target, kTargetKey, target);
    c.make(files.source);

    const ChildRun run = runChild(files.programDir, files.source, false, 120s);
    const std::optional<QString>& line = run.line;
    const std::optional<int>& status = run.status;
    ASSERT_TRUE(status.has_value()) << "still running";
    ASSERT_TRUE(line.has_value()) << "ended without a word, status " << *status;
    if (c.error != 0)
        expectErrorNaming(*line, c.error, files.source);
    EXPECT_EQ(*status, line->startsWith(QStringLiteral("done")) ? 0 : 1);
    // Every target row keeps its value or takes a short one from the source.
    for (const QString& row : dump(files.target, kTargetKey))
        EXPECT_LT(row.size(), 64) << row.left(200).toStdString();
    EXPECT_EQ(integrity(files.target, kTargetKey), QStringLiteral("ok"));
}

INSTANTIATE_TEST_SUITE_P(Crafted, CraftedSourceTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

struct SpecialPathCase {
    const char* name;
    std::function<QString(const QString& folder)> make; // returns the path to type
    bool completes;
};

const SpecialPathCase kSpecialPaths[] = {
    {"Fifo",
     [](const QString& folder) {
         const QString path = folder + QStringLiteral("/Q4ProDB.mdb");
         EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
         return path;
     },
     false},
    {"LinkToAFifo",
     [](const QString& folder) {
         const QString fifo = folder + QStringLiteral("/pipe");
         EXPECT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
         EXPECT_TRUE(QFile::link(fifo, folder + QStringLiteral("/Q4ProDB.mdb")));
         return folder + QStringLiteral("/Q4ProDB.mdb");
     },
     false},
    {"Device", [](const QString&) { return QStringLiteral("/dev/zero"); }, false},
    {"LinkToARegularFile",
     [](const QString& folder) {
         writeTable(folder + QStringLiteral("/real.mdb"), kSourceKey, {{"2", "b", "p", "new2"}});
         EXPECT_TRUE(QFile::link(folder + QStringLiteral("/real.mdb"), folder + QStringLiteral("/Q4ProDB.mdb")));
         return folder + QStringLiteral("/Q4ProDB.mdb");
     },
     true},
};

void PrintTo(const SpecialPathCase& c, std::ostream* os) {
    *os << c.name;
}

class SpecialPathTest : public ::testing::TestWithParam<SpecialPathCase> {};

TEST_P(SpecialPathTest, OnlyRegularFilesAreOpened) {
    const SpecialPathCase& c = GetParam();
    Layout files;
    writeTable(files.target, kTargetKey, {{"2", "b", "p", "old2"}});
    const QString folder = QFileInfo(files.source).path();
    QDir().mkpath(folder);
    const Outcome outcome = runInProcess(files.programDir, c.make(folder));
    EXPECT_EQ(outcome.completed, c.completes);
    EXPECT_EQ(outcome.error, c.completes ? 0 : dao::err::kCannotOpenFile) << outcome.description.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Paths, SpecialPathTest, ::testing::ValuesIn(kSpecialPaths),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace reliability
