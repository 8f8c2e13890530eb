#include "TestDb.h"

#include "platform/dao/ErrorCodes.h"

#include <QDir>
#include <QFile>
#include <functional>

namespace daotest {
namespace {

using namespace dao::err;

class OpenDatabaseTest : public DaoTest {
protected:
    QStringList listing() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

TEST_F(OpenDatabaseTest, AcceptsConnectTextsNamingTheRightPassword) {
    const QString file = standardDb({QStringLiteral("(1, 'a', 'b')")});
    for (const QString& connect : {QStringLiteral(";pwd=") + kKey, QStringLiteral(";PWD=") + kKey,
                                   QStringLiteral("DATABASE=x; Pwd=") + kKey + QStringLiteral(";")}) {
        SCOPED_TRACE(connect.toStdString());
        const dao::DatabasePtr db = open(file, connect);
        EXPECT_EQ(db->Name(), file);
        EXPECT_EQ(db->OpenRecordset(QStringLiteral(u"SELECT * FROM 棟マスタ"))->RecordCount(), 1);
    }
}

struct BadFile {
    const char* name;
    std::function<void(const QString& path)> make;
    QString connect;
    int number;
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST_F(OpenDatabaseTest, RejectsBadFilesWithoutTouchingThem) {
    const QString right = QStringLiteral(";pwd=") + kKey;
    const auto encrypted = [](const QString& p) { createDb(p, kStandardTable); };
    const BadFile cases[] = {
        {"wrong password", encrypted, QStringLiteral(";pwd=wrong"), kInvalidPassword},
        {"no password", encrypted, QString(), kInvalidPassword},
        {"empty password", encrypted, QStringLiteral(";pwd="), kInvalidPassword},
        {"plain SQLite", [](const QString& p) { createDb(p, kStandardTable, QString()); }, right, kUnrecognizedFormat},
        {"plain SQLite, no password", [](const QString& p) { createDb(p, kStandardTable, QString()); }, QString(),
         kUnrecognizedFormat},
        {"short text", [](const QString& p) { writeFile(p, "just some text\n"); }, right, kUnrecognizedFormat},
        {"long text", [](const QString& p) { writeFile(p, QByteArray(1500, 'x')); }, right, kUnrecognizedFormat},
        {"zero length", [](const QString& p) { writeFile(p, {}); }, right, kUnrecognizedFormat},
    };
    for (const BadFile& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(QString::fromLatin1(c.name) + QStringLiteral(".mdb"));
        c.make(file);
        const QByteArray before = fileBytes(file);
        const QStringList filesBefore = listing();
        const vb::RuntimeError e = raised([&] { open(file, c.connect); });
        EXPECT_EQ(e.number(), c.number);
        EXPECT_TRUE(e.description().contains(file)) << e.what();
        EXPECT_EQ(fileBytes(file), before);
        EXPECT_EQ(listing(), filesBefore);
    }
}

TEST_F(OpenDatabaseTest, RejectsBadPathsWithoutCreatingAnything) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const struct {
        QString path;
        int number;
    } cases[] = {
        {QString(), kInvalidPath},
        {path(QStringLiteral("folder")), kCannotOpenFile},
        {path(QStringLiteral("missing.mdb")), kFileNotFound},
        {path(QStringLiteral("no/such/folder/x.mdb")), kInvalidPath},
        {path(QStringLiteral("folder")) + QStringLiteral("\\missing.mdb"), kFileNotFound},
    };
    const QStringList before = listing();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(raised([&] { open(c.path); }).number(), c.number);
        EXPECT_EQ(listing(), before);
        EXPECT_TRUE(QDir(path(QStringLiteral("folder"))).isEmpty());
    }
}

TEST_F(OpenDatabaseTest, ReadsBackslashesAsSlashes) {
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("sub/deeper")));
    createDb(path(QStringLiteral("sub/deeper/x.mdb")), kStandardTable);
    QString windowsStyle = path(QStringLiteral("sub/deeper/x.mdb"));
    windowsStyle.replace(QLatin1Char('/'), QLatin1Char('\\'));
    EXPECT_EQ(open(windowsStyle)->Name(), path(QStringLiteral("sub/deeper/x.mdb")));
}

TEST_F(OpenDatabaseTest, HasOneDefaultWorkspace) {
    const dao::WorkspacesPtr workspaces = engine->Workspaces();
    EXPECT_EQ(workspaces->Count(), 1);
    EXPECT_EQ(workspaces->Item(0), engine->Workspaces()->Item(0));
    EXPECT_EQ(raised([&] { workspaces->Item(1); }).number(), kItemNotFound);
}

TEST_F(OpenDatabaseTest, ReadOnlyDatabaseRefusesEdits) {
    const QString file = standardDb({QStringLiteral("(1, 'a', 'b')")});
    const QByteArray before = fileBytes(file);
    const dao::RecordsetPtr rs =
        open(file, QStringLiteral(";pwd=") + kKey, vb::vbFalse, vb::vbTrue)->OpenRecordset(QStringLiteral(u"SELECT * FROM 棟マスタ"));
    EXPECT_EQ(rs->Collect(QStringLiteral(u"小学校区")), vb::Variant(u"a"));
    EXPECT_EQ(raised([&] { rs->Edit(); }).number(), kReadOnly);
    EXPECT_EQ(fileBytes(file), before);
}

TEST_F(OpenDatabaseTest, ExclusiveUseLocksOthersOut) {
    const QString file = standardDb({QStringLiteral("(1, 'a', 'b')")});
    const dao::DatabasePtr db = open(file, QStringLiteral(";pwd=") + kKey, vb::vbTrue);
    RawDb other(file, kKey);
    sqlite3_busy_timeout(other.get(), 0);
    EXPECT_EQ(other.tryExec(QStringLiteral("SELECT count(*) FROM sqlite_master")), SQLITE_BUSY);
    db->Close();
    EXPECT_EQ(other.column(QStringLiteral(u"SELECT 小学校区 FROM 棟マスタ")), QStringList{QStringLiteral("a")});
}

} // namespace
} // namespace daotest
