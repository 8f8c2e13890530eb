// SQLCipher sources made to take more memory than the program may: rows
// made when read (so the file stays small) that are huge, very many, or
// sorted in SQLite's memory. Each run, in a child process, ends in error 7
// naming the file or completes, and the child's peak resident memory stays
// under 1 GiB.
#include "tests/reliability/Process.h"
#include "tests/reliability/Revision.h"
#include "tests/support/EncryptedDb.h"

#include "platform/dao/ErrorCodes.h"

#include <gtest/gtest.h>

namespace reliability {
namespace {

using namespace std::chrono_literals;

constexpr long long kMostKib = 1 << 20; // 1 GiB

// The numbers 1 to n as the table c(n).
QString numbers(qint64 n) {
    return QStringLiteral("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < %1) ").arg(n);
}

// Just under the longest value a connection lets SQLite make (16 MiB).
const QString kLongText = QStringLiteral("printf('%.*c', 16776192, 'x')");

struct MemoryCase {
    const char* name;
    QString script; // makes the source
    int error;      // the report's number; 0 when the run completes
};

void PrintTo(const MemoryCase& c, std::ostream* os) {
    *os << c.name;
}

const MemoryCase kCases[] = {
    // A snapshot's values: texts, then blobs.
    {"TwoHundredTextsOfSixteenMiBInAView",
     QStringLiteral(u"CREATE VIEW 棟マスタ AS ") + numbers(200) +
         QStringLiteral(u"SELECT n AS 棟番号, '' AS 小学校区, %1 AS 中学校区 FROM c;").arg(kLongText),
     dao::err::kOutOfMemory},
    {"TwoHundredBlobsOfSixteenMiBInAView",
     QStringLiteral(u"CREATE VIEW 棟マスタ AS ") + numbers(200) +
         QStringLiteral(u"SELECT n AS 棟番号, '' AS 小学校区, zeroblob(16776192) AS 中学校区 FROM c;"),
     dao::err::kOutOfMemory},
    // A snapshot's rows, which cost memory even when all their values are Null.
    {"HundredMillionNullRowsInAView",
     QStringLiteral(u"CREATE VIEW 棟マスタ AS ") + numbers(100000000) +
         QStringLiteral(u"SELECT NULL AS 棟番号, NULL AS 小学校区, NULL AS 中学校区 FROM c;"),
     dao::err::kOutOfMemory},
    // SQLite's own heap: sorting keeps every row in memory first.
    {"HundredMillionRowsOfOneKiBSortedInAView",
     QStringLiteral(u"CREATE VIEW 棟マスタ AS ") + numbers(100000000) +
         QStringLiteral(u"SELECT n AS 棟番号, '' AS 小学校区, printf('%.*c', 1024, 'x') AS 中学校区 FROM c "
                        u"ORDER BY n DESC;"),
     dao::err::kOutOfMemory},
    // A table's rows, read ahead a batch at a time; three of them are copied
    // into the target.
    {"FortyTextsOfSixteenMiBInATable",
     QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 小学校区 TEXT, 中学校区 TEXT GENERATED ALWAYS AS (%1));"
                    u"INSERT INTO 棟マスタ (棟番号) ")
             .arg(kLongText) +
         numbers(40) + QStringLiteral("SELECT n FROM c;"),
     0},
};

class SqliteMemoryTest : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(SqliteMemoryTest, EndsInTheReportOrTheBoxUnderOneGiB) {
    const MemoryCase& c = GetParam();
    Layout files;
    writeTable(files.target, kTargetKey, {{"1", "a", "p", "old1"}, {"2", "b", "p", "old2"}, {"3", "c", "p", "old3"}});
    testsupport::CreateDb(files.source, kSourceKey, c.script);

    const ChildRun run = runChild(files.programDir, files.source, true, 300s);
    const std::optional<QString>& line = run.line;
    const std::optional<int>& status = run.status;
    ASSERT_TRUE(status.has_value()) << "still running";
    ASSERT_TRUE(line.has_value()) << "ended without a word, status " << *status;
    if (c.error != 0) {
        expectErrorNaming(*line, c.error, files.source);
    } else {
        EXPECT_TRUE(line->startsWith(QStringLiteral("done"))) << line->left(300).toStdString();
    }
    ASSERT_TRUE(run.peakKib.has_value()) << run.output.join(u'\n').toStdString();
    const long long kib = *run.peakKib;
    RecordProperty("peak_kib", std::to_string(kib));
    EXPECT_GT(kib, 0);
    EXPECT_LT(kib, kMostKib);
}

INSTANTIATE_TEST_SUITE_P(Hostile, SqliteMemoryTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace reliability
