// Paths as users type them or as programs get installed: spaces, Japanese
// names, "\" for "/", doubled and trailing separators, and paths longer than
// the engine or the system take. Each run works or ends with a clear error.
#include "tests/reliability/Revision.h"
#include "tests/support/EncryptedDb.h"

#include "platform/dao/ErrorCodes.h"

#include <gtest/gtest.h>

#include <QDir>

#include <fcntl.h>
#include <unistd.h>

#include <functional>

namespace reliability {
namespace {

using namespace dao::err;

struct Placed {
    QString programDir; // as the application reports its folder
    QString typed;      // the source path typed into the window
};

struct PathCase {
    const char* name;
    int expected; // 0: the run completes
    std::function<Placed(const QString& root, const QByteArray& target, const QByteArray& source)> place;
};

void PrintTo(const PathCase& c, std::ostream* os) {
    *os << c.name;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Files in folders named as given, both relative to root.
Placed placeAt(const QString& root, const QString& program, const QString& source, const QByteArray& targetBytes,
               const QByteArray& sourceBytes) {
    writeFile(root + u'/' + program + QStringLiteral("/Q_db/Q5ProDB.mdb"), targetBytes);
    writeFile(root + u'/' + source, sourceBytes);
    return {root + u'/' + program, root + u'/' + source};
}

QString backslashed(QString path) {
    return path.replace(u'/', u'\\');
}

// A folder chain below root whose full path is longer than `length`, made one
// level at a time relative to the one before (no single path may exceed the
// system's limit); the file is written there the same way.
QString deepFolder(const QString& root, int length, const QByteArray& fileBytes, const QString& fileName) {
    QString path = root;
    int dir = ::open(root.toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY);
    const QByteArray level(200, 'd');
    while (path.size() <= length && dir >= 0) {
        ::mkdirat(dir, level.constData(), 0755);
        const int next = ::openat(dir, level.constData(), O_RDONLY | O_DIRECTORY);
        ::close(dir);
        dir = next;
        path += u'/' + QString::fromLatin1(level);
    }
    const QByteArray name = fileName.toLocal8Bit();
    if (name.contains('/')) {
        const QByteArray folder = name.left(name.lastIndexOf('/'));
        ::mkdirat(dir, folder.constData(), 0755);
    }
    const int fd = ::openat(dir, name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(fd, fileBytes.constData(), static_cast<std::size_t>(fileBytes.size()));
        ::close(fd);
    }
    ::close(dir);
    return path;
}

class PathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathTest, WorksOrSaysWhy) {
    const PathCase& c = GetParam();
    QTemporaryDir root;
    // Made aside, then placed: the test's own tools need short paths.
    QTemporaryDir scratch;
    std::vector<Row> target, source;
    for (int i = 1; i <= 50; ++i) {
        target.push_back({QString::number(i), QStringLiteral("t"), QStringLiteral("p"), QStringLiteral("old")});
        source.push_back({QString::number(51 - i), QStringLiteral("s"), QStringLiteral("p"), QStringLiteral(u"新%1").arg(i)});
    }
    writeTable(scratch.filePath(QStringLiteral("t.mdb")), kTargetKey, target);
    writeTable(scratch.filePath(QStringLiteral("s.mdb")), kSourceKey, source);
    const QByteArray targetBytes = testsupport::FileBytes(scratch.filePath(QStringLiteral("t.mdb")));
    const QByteArray sourceBytes = testsupport::FileBytes(scratch.filePath(QStringLiteral("s.mdb")));

    const Placed placed = c.place(root.path(), targetBytes, sourceBytes);
    const std::map<QString, QByteArray> before = snapshot(root.path());
    const Outcome outcome = runInProcess(placed.programDir, placed.typed);

    if (c.expected == 0) {
        ASSERT_TRUE(outcome.completed) << outcome.error << " " << outcome.description.toStdString();
        QString targetPath = placed.programDir;
        while (targetPath.endsWith(u'\\') || targetPath.endsWith(u'/'))
            targetPath.chop(1);
        targetPath = targetPath.replace(u'\\', u'/') + QStringLiteral("/Q_db/Q5ProDB.mdb");
        EXPECT_EQ(dump(targetPath, kTargetKey), dumpOf(expectedTarget(target, source)));
    } else {
        EXPECT_FALSE(outcome.completed);
        EXPECT_EQ(outcome.error, c.expected) << outcome.description.toStdString();
        EXPECT_FALSE(outcome.description.isEmpty());
        EXPECT_EQ(snapshot(root.path()), before) << "a file was written or created";
    }
}

constexpr int kBeyondEngine = 600;   // longer than the engine's 512 bytes, shorter than the system's limit
constexpr int kBeyondSystem = 4200;  // longer than the system's 4,096

INSTANTIATE_TEST_SUITE_P(
    Paths, PathTest,
    ::testing::Values(
        PathCase{"SpacesInEveryName", 0,
                 [](const QString& r, const QByteArray& target, const QByteArray& s) {
                     return placeAt(r, QStringLiteral("my programs/tou fix"), QStringLiteral("my data/Q4 Pro DB.mdb"), target, s);
                 }},
        PathCase{"JapaneseNames", 0,
                 [](const QString& r, const QByteArray& target, const QByteArray& s) {
                     return placeAt(r, QStringLiteral(u"プログラム/棟マスタ修正"), QStringLiteral(u"データ/旧版 棟マスタ.mdb"), target, s);
                 }},
        PathCase{"BackslashesOnly", 0,
                 [](const QString& r, const QByteArray& target, const QByteArray& s) {
                     Placed p = placeAt(r, QStringLiteral("prog"), QStringLiteral("src/Q4ProDB.mdb"), target, s);
                     return Placed{backslashed(p.programDir), backslashed(p.typed)};
                 }},
        PathCase{"MixedSeparators", 0,
                 [](const QString& r, const QByteArray& target, const QByteArray& s) {
                     Placed p = placeAt(r, QStringLiteral("prog"), QStringLiteral("src/sub/Q4ProDB.mdb"), target, s);
                     return Placed{r + QStringLiteral("\\prog"), r + QStringLiteral("/src\\sub/Q4ProDB.mdb")};
                 }},
        PathCase{"DoubledSeparators", 0,
                 [](const QString& r, const QByteArray& target, const QByteArray& s) {
                     placeAt(r, QStringLiteral("prog"), QStringLiteral("src/Q4ProDB.mdb"), target, s);
                     return Placed{r + QStringLiteral("//prog"), r + QStringLiteral("\\\\src//Q4ProDB.mdb")};
                 }},
        PathCase{"ProgramFolderEndingInBackslash", 0,
                 [](const QString& r, const QByteArray& target, const QByteArray& s) {
                     Placed p = placeAt(r, QStringLiteral("prog"), QStringLiteral("src/Q4ProDB.mdb"), target, s);
                     return Placed{p.programDir + u'\\', p.typed};
                 }},
        PathCase{"ProgramFolderEndingInSlash", 0,
                 [](const QString& r, const QByteArray& target, const QByteArray& s) {
                     Placed p = placeAt(r, QStringLiteral("prog"), QStringLiteral("src/Q4ProDB.mdb"), target, s);
                     return Placed{p.programDir + u'/', p.typed};
                 }},
        PathCase{"SourceEndingInBackslash", kInvalidPath,
                 [](const QString& r, const QByteArray& target, const QByteArray& s) {
                     Placed p = placeAt(r, QStringLiteral("prog"), QStringLiteral("src/Q4ProDB.mdb"), target, s);
                     return Placed{p.programDir, p.typed + u'\\'};
                 }},
        PathCase{"SourceFolderEndingInBackslash", kCannotOpenFile,
                 [](const QString& r, const QByteArray& target, const QByteArray& s) {
                     placeAt(r, QStringLiteral("prog"), QStringLiteral("src/Q4ProDB.mdb"), target, s);
                     return Placed{r + QStringLiteral("/prog"), r + QStringLiteral("\\src\\")};
                 }},
        PathCase{"SourceBeyondTheEnginesLimit", kInvalidPath,
                 [](const QString& r, const QByteArray& target, const QByteArray& s) {
                     placeAt(r, QStringLiteral("prog"), QStringLiteral("unused"), target, s);
                     return Placed{r + QStringLiteral("/prog"), deepFolder(r, kBeyondEngine, s, QStringLiteral("Q4ProDB.mdb")) +
                                                                     QStringLiteral("/Q4ProDB.mdb")};
                 }},
        PathCase{"SourceBeyondTheSystemsLimit", kInvalidPath,
                 [](const QString& r, const QByteArray& target, const QByteArray& s) {
                     placeAt(r, QStringLiteral("prog"), QStringLiteral("unused"), target, s);
                     return Placed{r + QStringLiteral("/prog"), deepFolder(r, kBeyondSystem, s, QStringLiteral("Q4ProDB.mdb")) +
                                                                     QStringLiteral("\\Q4ProDB.mdb")};
                 }},
        PathCase{"ProgramFolderBeyondTheEnginesLimit", kInvalidPath,
                 [](const QString& r, const QByteArray& target, const QByteArray& s) {
                     const Placed p = placeAt(r, QStringLiteral("unused"), QStringLiteral("src/Q4ProDB.mdb"), target, s);
                     return Placed{deepFolder(r, kBeyondEngine, target, QStringLiteral("Q_db/Q5ProDB.mdb")), p.typed};
                 }},
        PathCase{"ProgramFolderBeyondTheSystemsLimit", kInvalidPath,
                 [](const QString& r, const QByteArray& target, const QByteArray& s) {
                     const Placed p = placeAt(r, QStringLiteral("unused"), QStringLiteral("src/Q4ProDB.mdb"), target, s);
                     return Placed{deepFolder(r, kBeyondSystem, target, QStringLiteral("Q_db/Q5ProDB.mdb")), p.typed};
                 }}),
    [](const ::testing::TestParamInfo<PathCase>& param) { return std::string(param.param.name); });

} // namespace
} // namespace reliability
