// Whole runs over damaged or unexpected files, values the target refuses and
// awkward paths. Each either works or ends with a clear error that names the
// file (or the field), without a crash and without writing anything.
#include "tests/reliability/Revision.h"
#include "tests/support/EncryptedDb.h"

#include "platform/dao/ErrorCodes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <functional>

namespace reliability {
namespace {

using namespace dao::err;

std::vector<Row> someRows(const QString& value, int count = 2000) {
    std::vector<Row> rows;
    for (int i = 1; i <= count; ++i)
        rows.push_back({QString::number(i), QStringLiteral(u"棟%1").arg(i), QStringLiteral("p"), value + QString::number(i)});
    return rows;
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A good encrypted file of the given edition, then damaged by `damage`.
void damaged(const QString& path, const QString& key, const std::function<QByteArray(QByteArray)>& damage) {
    writeTable(path, key, someRows(QStringLiteral("v")));
    writeBytes(path, damage(testsupport::FileBytes(path)));
}

struct BadFileCase {
    const char* name;
    bool target;  // which file is bad; the other one is good
    int expected; // error number
    std::function<void(const QString& path, const QString& key)> make;
    bool namesFile = true; // the description names the file (else a field)
};

void PrintTo(const BadFileCase& c, std::ostream* os) {
    *os << c.name;
}

class BadFileTest : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(BadFileTest, EndsWithItsErrorAndWritesNothing) {
    const BadFileCase& c = GetParam();
    Layout files;
    if (c.target) {
        writeTable(files.source, kSourceKey, someRows(QStringLiteral("new")));
        c.make(files.target, kTargetKey);
    } else {
        writeTable(files.target, kTargetKey, someRows(QStringLiteral("old")));
        c.make(files.source, kSourceKey);
    }
    const std::map<QString, QByteArray> before = snapshot(files.root.path());

    const Outcome outcome = runInProcess(files.programDir, files.source);

    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(outcome.error, c.expected) << outcome.description.toStdString();
    if (c.namesFile) {
        EXPECT_TRUE(outcome.description.contains(c.target ? files.target : files.source))
            << outcome.description.toStdString();
    }
    EXPECT_EQ(snapshot(files.root.path()), before) << "a file was written or created";
}

const auto zeroLength = [](const QString& path, const QString&) { writeBytes(path, {}); };
const auto halfAPage = [](const QString& path, const QString& key) {
    damaged(path, key, [](QByteArray b) { return b.left(512); });
};
const auto pageAndAHalf = [](const QString& path, const QString& key) {
    damaged(path, key, [](QByteArray b) { return b.left(1536); });
};
const auto halfTheFile = [](const QString& path, const QString& key) {
    damaged(path, key, [](QByteArray b) { return b.left(b.size() / 2 / 1024 * 1024); });
};
const auto garbageFirstPage = [](const QString& path, const QString& key) {
    damaged(path, key, [](QByteArray b) {
        for (int i = 0; i < 1024; ++i)
            b[i] = static_cast<char>((i * 131 + 17) % 251);
        return b;
    });
};
const auto garbageMiddlePage = [](const QString& path, const QString& key) {
    damaged(path, key, [](QByteArray b) {
        const qsizetype page = b.size() / 1024 / 2 * 1024;
        for (int i = 0; i < 1024; ++i)
            b[page + i] = static_cast<char>((i * 7 + 3) % 256);
        return b;
    });
};
const auto plainSqlite = [](const QString& path, const QString&) { writeTable(path, QString(), someRows(QStringLiteral("v"))); };
const auto otherEdition = [](const QString& path, const QString& key) {
    writeTable(path, key == kTargetKey ? kSourceKey : kTargetKey, someRows(QStringLiteral("v")));
};
const auto noTable = [](const QString& path, const QString& key) {
    testsupport::CreateDb(path, key, QStringLiteral("CREATE TABLE other (x); INSERT INTO other VALUES (1);"));
};
const auto noJuniorColumn = [](const QString& path, const QString& key) {
    testsupport::CreateDb(path, key, QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 棟名称 TEXT, 小学校区 TEXT);"
                                                     u"INSERT INTO 棟マスタ VALUES (1, 'a', 'b');"));
};
const auto noNumberColumn = [](const QString& path, const QString& key) {
    testsupport::CreateDb(path, key, QStringLiteral(u"CREATE TABLE 棟マスタ (番号 INTEGER, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT);"
                                                     u"INSERT INTO 棟マスタ VALUES (1, 'a', 'b', 'c');"));
};
const auto textNumbers = [](const QString& path, const QString& key) {
    writeTable(path, key, someRows(QStringLiteral("old")),
               QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 TEXT, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT);"));
};

INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    ::testing::Values(
        BadFileCase{"TargetZeroLength", true, kUnrecognizedFormat, zeroLength},
        BadFileCase{"SourceZeroLength", false, kUnrecognizedFormat, zeroLength},
        BadFileCase{"TargetHalfAPage", true, kUnrecognizedFormat, halfAPage},
        BadFileCase{"SourceHalfAPage", false, kUnrecognizedFormat, halfAPage},
        BadFileCase{"TargetPageAndAHalf", true, kCorrupt, pageAndAHalf},
        BadFileCase{"TargetHalfTheFile", true, kCorrupt, halfTheFile},
        BadFileCase{"SourceHalfTheFile", false, kCorrupt, halfTheFile},
        BadFileCase{"TargetGarbageFirstPage", true, kInvalidPassword, garbageFirstPage},
        BadFileCase{"SourceGarbageFirstPage", false, kInvalidPassword, garbageFirstPage},
        BadFileCase{"TargetGarbageMiddlePage", true, kCorrupt, garbageMiddlePage},
        BadFileCase{"SourceGarbageMiddlePage", false, kCorrupt, garbageMiddlePage},
        BadFileCase{"TargetPlainSqlite", true, kUnrecognizedFormat, plainSqlite},
        BadFileCase{"TargetOfTheOtherEdition", true, kInvalidPassword, otherEdition},
        BadFileCase{"TargetWithoutTheTable", true, kTableNotFound, noTable},
        BadFileCase{"TargetWithoutJuniorHighColumn", true, kItemNotFound, noJuniorColumn, false},
        BadFileCase{"SourceWithoutJuniorHighColumn", false, kItemNotFound, noJuniorColumn, false},
        BadFileCase{"TargetWithoutNumberColumn", true, kItemNotFound, noNumberColumn, false},
        BadFileCase{"TargetNumbersStoredAsText", true, kCriteriaTypeMismatch, textNumbers}),
    [](const ::testing::TestParamInfo<BadFileCase>& param) { return std::string(param.param.name); });

// Values the target refuses: the error names the field, the rows before stay
// updated and the rows from the refused one on stay as they were.
struct RefusedCase {
    const char* name;
    const char* column;        // the target's 中学校区 definition
    QString refusedSource;     // the value of the source row the target refuses
    int expected;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class RefusedValueTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedValueTest, StopsAtTheRowAndKeepsTheRowsBefore) {
    const RefusedCase& c = GetParam();
    Layout files;
    constexpr int kRows = 3000, kRefused = 1700;
    std::vector<Row> target, source;
    for (int i = 1; i <= kRows; ++i) {
        target.push_back({QString::number(i), QStringLiteral("t"), QStringLiteral("p"), QStringLiteral("old")});
        source.push_back({QString::number(i), QStringLiteral("s"), QStringLiteral("p"), QStringLiteral("new")});
    }
    source[kRefused - 1].junior = c.refusedSource;
    writeTable(files.target, kTargetKey, target,
               QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 棟名称 TEXT, 小学校区 TEXT, %1);")
                   .arg(QString::fromUtf8(c.column)));
    writeTable(files.source, kSourceKey, source);

    const Outcome outcome = runInProcess(files.programDir, files.source);

    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(outcome.error, c.expected) << outcome.description.toStdString();
    EXPECT_TRUE(outcome.description.contains(QStringLiteral(u"中学校区"))) << outcome.description.toStdString();
    const QStringList values = query(files.target, kTargetKey, QStringLiteral(u"SELECT 中学校区 FROM 棟マスタ ORDER BY rowid"));
    ASSERT_EQ(values.size(), kRows);
    EXPECT_EQ(values.mid(0, kRefused - 1), QStringList(kRefused - 1, QStringLiteral("new")));
    EXPECT_EQ(values.mid(kRefused - 1), QStringList(kRows - kRefused + 1, QStringLiteral("old")));
    EXPECT_EQ(integrity(files.target, kTargetKey), QStringLiteral("ok"));
}

INSTANTIATE_TEST_SUITE_P(
    Values, RefusedValueTest,
    ::testing::Values(
        RefusedCase{"CheckOnLength", "中学校区 TEXT CHECK (length(中学校区) <= 5)", "much-too-long", kValidationRule},
        RefusedCase{"CheckAgainstEmptyFromNull", "中学校区 TEXT NOT NULL CHECK (中学校区 <> '')", kNull, kValidationRule},
        RefusedCase{"CheckAgainstEmptyText", "中学校区 TEXT CHECK (中学校区 <> '')", "", kValidationRule}),
    [](const ::testing::TestParamInfo<RefusedCase>& param) { return std::string(param.param.name); });

// A Null in the source arrives as the empty text, which NOT NULL accepts.
TEST(RefusedValue, NullSourceValueMeetsNotNull) {
    Layout files;
    std::vector<Row> target = someRows(QStringLiteral("old"), 10), source = someRows(QStringLiteral("new"), 10);
    source[4].junior = kNull;
    writeTable(files.target, kTargetKey, target,
               QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT NOT NULL);"));
    writeTable(files.source, kSourceKey, source);
    const Outcome outcome = runInProcess(files.programDir, files.source);
    EXPECT_TRUE(outcome.completed) << outcome.error << " " << outcome.description.toStdString();
    EXPECT_EQ(query(files.target, kTargetKey, QStringLiteral(u"SELECT 中学校区 FROM 棟マスタ WHERE 棟番号 = 5")),
              QStringList{QString()});
    EXPECT_EQ(dump(files.target, kTargetKey), dumpOf(expectedTarget(target, source)));
}

} // namespace
} // namespace reliability
