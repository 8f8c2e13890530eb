// Whole Execute runs over real encrypted files in a temporary program folder.
#include "app/Form1.h"
#include "platform/ui/App.h"
#include "platform/ui/ErrorReport.h"
#include "platform/ui/MsgBox.h"
#include "runtime/RuntimeError.h"
#include "tests/support/EncryptedDb.h"
#include "tests/support/Keys.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>
#include <QTest>
#include <QTimer>
#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cctype>
#include <functional>
#include <optional>

using testsupport::CreateDb;
using testsupport::kSourceKey;
using testsupport::kTargetKey;
using testsupport::QueryDb;
using testsupport::raised;

namespace {

const QString kTable = QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT);");
const QString kDump = QStringLiteral(u"SELECT rowid, 棟番号, 棟名称, 小学校区, 中学校区 FROM 棟マスタ ORDER BY rowid");

class RevisionRun : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        QDir(root.path()).mkpath(QStringLiteral("prog/Q_db"));
        QDir(root.path()).mkpath(QStringLiteral("src"));
        programDir = root.filePath(QStringLiteral("prog"));
        target = programDir + QStringLiteral("/Q_db/Q5ProDB.mdb");
        source = root.filePath(QStringLiteral("src/Q4ProDB.mdb"));
        where.emplace(programDir);
        form.Form_Load();
    }

    // Clicks Execute as a user would; records the completion box and any error report.
    void execute(const QString& sourcePath) {
        form.findChild<QLineEdit*>("Text1")->setText(sourcePath);
        platform::ScopedMsgBoxHandler boxes([this](const platform::MsgBoxRequest& r) {
            shownBoxes.push_back(r);
            return platform::vbOK;
        });
        platform::ScopedErrorReportHandler reports([this](const platform::ErrorReportRequest& r) { reported.push_back(r); });
        form.findChild<QPushButton*>("Command2")->click();
    }

    QStringList listing() const {
        QStringList all;
        QDirIterator it(root.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            all << it.next();
        all.sort();
        return all;
    }

    QTemporaryDir root;
    QString programDir, target, source;
    std::optional<platform::App::ScopedPathOverride> where;
    Form1 form;
    std::vector<platform::MsgBoxRequest> shownBoxes;
    std::vector<platform::ErrorReportRequest> reported;
};

TEST_F(RevisionRun, CopiesJuniorHighDistrictIntoFirstMatchingRowOnly) {
    CreateDb(target, kTargetKey, kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES"
        u"(101,'A','小A','旧'),(102,'B','小B','旧'),(102,'B2','小B2','旧'),(103,'C','小C','旧'),(104,'D','小D','旧');"
        u"CREATE TABLE 他 (x); INSERT INTO 他 VALUES (1);"));
    CreateDb(source, kSourceKey, kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES"
        u"(101,'a','別小','中1'),(102,'b','別小','中2'),(103,'c','別小',NULL),(105,'e','別小','中5'),"
        u"(104,'d','別小','先'),(104,'d','別小','後');"));

    execute(source);

    ASSERT_TRUE(reported.empty()) << reported.front().number << " " << reported.front().description.toStdString();
    ASSERT_EQ(shownBoxes.size(), 1u);
    EXPECT_EQ(shownBoxes[0].prompt, QStringLiteral(u"修正が完了しました。"));
    EXPECT_EQ(shownBoxes[0].title, QStringLiteral(u"棟データ修正"));
    EXPECT_EQ(shownBoxes[0].buttons, platform::vbOKOnly);
    EXPECT_EQ(QueryDb(target, kTargetKey, kDump), (QStringList{
        QStringLiteral(u"1|101|A|小A|中1"),
        QStringLiteral(u"2|102|B|小B|中2"),
        QStringLiteral(u"3|102|B2|小B2|旧"),   // only the first row of a building number
        QStringLiteral(u"4|103|C|小C|"),       // Null becomes the empty text
        QStringLiteral(u"5|104|D|小D|後"),     // the last source row wins
    }));
    EXPECT_EQ(QueryDb(target, kTargetKey, QStringLiteral(u"SELECT x FROM 他")), QStringList{QStringLiteral("1")});
    EXPECT_EQ(form.SourcePath(), source);
    EXPECT_EQ(form.TargetPath(), programDir + QStringLiteral(u"\\Q_db\\Q5ProDB.mdb"));
}

TEST_F(RevisionRun, SecondRunLeavesTheTargetAsTheFirstLeftIt) {
    CreateDb(target, kTargetKey, kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES (1,'A','s','old'),(2,'B','s','old');"));
    CreateDb(source, kSourceKey, kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES (2,'b','t','new'),(1,'a','t','one');"));
    execute(source);
    const QStringList once = QueryDb(target, kTargetKey, kDump);
    execute(source);
    EXPECT_TRUE(reported.empty());
    EXPECT_EQ(shownBoxes.size(), 2u);
    EXPECT_EQ(QueryDb(target, kTargetKey, kDump), once);
    EXPECT_EQ(once, (QStringList{QStringLiteral("1|1|A|s|one"), QStringLiteral("2|2|B|s|new")}));
}

TEST_F(RevisionRun, EmptySourceTableStillCompletes) {
    CreateDb(target, kTargetKey, kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES (1,'A','s','old');"));
    CreateDb(source, kSourceKey, kTable);
    const QByteArray before = testsupport::FileBytes(target);
    execute(source);
    EXPECT_TRUE(reported.empty());
    EXPECT_EQ(shownBoxes.size(), 1u);
    EXPECT_EQ(testsupport::FileBytes(target), before);
}

TEST_F(RevisionRun, BuildingNumbersAreReadAsNumbers) {
    CreateDb(target, kTargetKey, kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES"
        u"(0,'zero','s','-'),(12,'twelve','s','-'),(14,'fourteen','s','-'),(16,'sixteen','s','-'),(20,'twenty','s','-');"));
    CreateDb(source, kSourceKey, kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES"
        u"(NULL,'','','null'),(12.5,'','','half-even-down'),(13.5,'','','half-even-up'),"
        u"('&H10','','','hex'),(' 2 0 ','','','blanks');"));
    execute(source);
    EXPECT_TRUE(reported.empty());
    EXPECT_EQ(QueryDb(target, kTargetKey, QStringLiteral(u"SELECT 棟番号, 中学校区 FROM 棟マスタ ORDER BY rowid")), (QStringList{
        QStringLiteral("0|null"), QStringLiteral("12|half-even-down"), QStringLiteral("14|half-even-up"),
        QStringLiteral("16|hex"), QStringLiteral("20|blanks")}));
}

TEST_F(RevisionRun, OverflowStopsTheRunAndKeepsEarlierRows) {
    CreateDb(target, kTargetKey, kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES (1,'A','s','old'),(2,'B','s','old'),(3,'C','s','old');"));
    CreateDb(source, kSourceKey, kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES (1,'','','new'),(30000000000,'','','x'),(3,'','','new');"));
    execute(source);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].number, 6);
    EXPECT_TRUE(shownBoxes.empty());
    // Released without Close, the earlier update must still be in the file.
    EXPECT_EQ(QueryDb(target, kTargetKey, QStringLiteral(u"SELECT 中学校区 FROM 棟マスタ ORDER BY rowid")),
              (QStringList{QStringLiteral("new"), QStringLiteral("old"), QStringLiteral("old")}));
}

struct BadInputCase {
    const char* name;
    int expectedNumber;
    // Prepares the files; returns the path to type.
    std::function<QString(RevisionRun&)> prepare;
};

void PrintTo(const BadInputCase& c, std::ostream* os) {
    *os << c.name;
}

class RevisionRunBadInput : public RevisionRun, public ::testing::WithParamInterface<BadInputCase> {};

TEST_P(RevisionRunBadInput, ReportsTheErrorAndChangesNothing) {
    CreateDb(target, kTargetKey, kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES (1,'A','s','old');"));
    const QString typed = GetParam().prepare(*this);
    const QStringList before = listing();
    QMap<QString, QByteArray> bytes;
    for (const QString& f : before)
        if (QFileInfo(f).isFile())
            bytes[f] = testsupport::FileBytes(f);

    execute(typed);

    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].number, GetParam().expectedNumber) << reported[0].description.toStdString();
    EXPECT_FALSE(reported[0].description.isEmpty());
    EXPECT_TRUE(shownBoxes.empty());
    EXPECT_EQ(listing(), before);
    for (auto it = bytes.cbegin(); it != bytes.cend(); ++it)
        EXPECT_EQ(testsupport::FileBytes(it.key()), it.value()) << it.key().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, RevisionRunBadInput,
    ::testing::Values(
        BadInputCase{"MissingFile", 3024, [](RevisionRun& run) { return run.root.filePath("src/nothing.mdb"); }},
        BadInputCase{"EmptyPath", 3044, [](RevisionRun&) { return QString(); }},
        BadInputCase{"Folder", 3051, [](RevisionRun& run) { return run.root.filePath("src"); }},
        BadInputCase{"TextFile", 3343,
                     [](RevisionRun& run) {
                         QFile f(run.source);
                         f.open(QIODevice::WriteOnly);
                         f.write("this is a note, not a database\n");
                         return run.source;
                     }},
        BadInputCase{"PlainSqlite", 3343,
                     [](RevisionRun& run) {
                         CreateDb(run.source, QString(), kTable);
                         return run.source;
                     }},
        BadInputCase{"OtherPassword", 3031,
                     [](RevisionRun& run) {
                         CreateDb(run.source, QStringLiteral("not-the-key"), kTable);
                         return run.source;
                     }},
        BadInputCase{"NoBuildingTable", 3078,
                     [](RevisionRun& run) {
                         CreateDb(run.source, kSourceKey, QStringLiteral("CREATE TABLE other (x);"));
                         return run.source;
                     }},
        BadInputCase{"NoQdbFolder", 3044,
                     [](RevisionRun& run) {
                         CreateDb(run.source, kSourceKey, kTable);
                         QDir(run.programDir).removeRecursively();
                         QDir().mkpath(run.programDir);
                         return run.source;
                     }}),
    [](const ::testing::TestParamInfo<BadInputCase>& param) { return std::string(param.param.name); });

TEST_F(RevisionRun, OpenDatabaseSelectsTargetForAnyNonZeroTruth) {
    CreateDb(target, kTargetKey, kTable);
    form.findChild<QLineEdit*>("Text1")->setText(target);
    execute(target); // the source password does not open the target file
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].number, 3031);
    for (vb::Boolean bln : {vb::Boolean{1}, vb::Boolean{-1}, vb::Boolean{2}}) {
        dao::DatabasePtr db;
        EXPECT_NO_THROW(form.FuncOpenDatabase(db, bln)) << bln;
        ASSERT_TRUE(db);
        db->Close();
    }
    const dao::DBEngine* engine = Form1::Engine().get();
    ASSERT_NE(engine, nullptr);
    dao::DatabasePtr again;
    form.FuncOpenDatabase(again, vb::vbTrue);
    EXPECT_EQ(Form1::Engine().get(), engine); // created once per process
    again->Close();
}

TEST_F(RevisionRun, ObjectClearClosesInOrderAndStopsAtFirstFailure) {
    dao::DatabasePtr e0, e1, e2, e3;
    dao::RecordsetPtr r0, r1, r2, r3;
    EXPECT_NO_THROW(Form1::ObjectClear(e0, r0, e1, r1, e2, r2, e3, r3));

    CreateDb(target, kTargetKey, kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES (1,'A','s','old');"));
    CreateDb(source, kSourceKey, kTable);
    form.findChild<QLineEdit*>("Text1")->setText(source);
    execute(source); // stores both paths
    dao::DatabasePtr db, db1, none2, none3;
    dao::RecordsetPtr rs, rs1, nors2, nors3;
    form.FuncOpenDatabase(db, vb::vbFalse);
    form.FuncOpenDatabase(db1, vb::vbTrue);
    rs = db->OpenRecordset(QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ"));
    rs1 = db1->OpenRecordset(QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ WHERE 棟番号=1"));
    rs1->Close(); // closing again inside ObjectClear fails

    // A second Close fails.
    EXPECT_EQ(raised([&] { Form1::ObjectClear(db, rs, db1, rs1, none2, nors2, none3, nors3); }).number(), 3420);
    EXPECT_FALSE(rs);   // closed and emptied before the failure
    EXPECT_TRUE(rs1);   // the failing one keeps its reference
    ASSERT_TRUE(db);    // later ones untouched: still open
    ASSERT_TRUE(db1);
    EXPECT_NO_THROW(db1->OpenRecordset(QStringLiteral(u"SELECT 棟番号 FROM 棟マスタ"))->Close());
    db->Close();
    db1->Close();
}

// How a user stops a run, and where the run is when stopped: inside one long
// statement of the source, inside the preparing of one, or between rows.
enum class Where { statement, prepare, betweenRows };

struct StopCase {
    const char* name;
    Where where;
    std::function<void(Form1&, QProgressDialog&)> stop;
    int afterMs = 0; // stopped this long after Execute; 0: once the dialog is up
};

void PrintTo(const StopCase& c, std::ostream* os) {
    *os << c.name;
}

const StopCase kStopCases[] = {
    {"StopButtonInsideAStatement", Where::statement, [](Form1&, QProgressDialog& d) { d.findChild<QPushButton*>()->click(); }},
    {"StopButtonInsideAPrepare", Where::prepare, [](Form1&, QProgressDialog& d) { d.findChild<QPushButton*>()->click(); }},
    {"StopButtonBetweenRows", Where::betweenRows, [](Form1&, QProgressDialog& d) { d.findChild<QPushButton*>()->click(); }},
    {"Escape", Where::betweenRows, [](Form1&, QProgressDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
    {"DialogClosed", Where::statement, [](Form1&, QProgressDialog& d) { d.close(); }},
    {"MainWindowClosed", Where::betweenRows, [](Form1& f, QProgressDialog&) { f.close(); }},
    // As the window manager's close button: a request queued for the event loop.
    {"MainWindowClosedByTheWindowSystem", Where::betweenRows,
     [](Form1& f, QProgressDialog&) { QWindowSystemInterface::handleCloseEvent(f.windowHandle()); }},
    {"MainWindowClosedByTheWindowSystemEarly", Where::statement,
     [](Form1& f, QProgressDialog&) { QWindowSystemInterface::handleCloseEvent(f.windowHandle()); }, 300},
};

class StoppedRun : public RevisionRun, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StoppedRun, EndsAsAnErrorWithinHalfASecondKeepingEarlierRows) {
    const StopCase& c = GetParam();
    QString rows;
    for (int i = 1; i <= 2000; ++i)
        rows += QStringLiteral("(%1,'','','old'),").arg(i);
    rows.chop(1);
    CreateDb(target, kTargetKey, kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES %1;").arg(rows));
    if (c.where == Where::statement) {
        // The source's rows never end: one statement that runs for ever.
        CreateDb(source, kSourceKey,
                 QStringLiteral(u"CREATE VIEW 棟マスタ AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) "
                                u"SELECT n AS 棟番号, '' AS 小学校区, 'new' AS 中学校区 FROM r;"));
    } else if (c.where == Where::prepare) {
        // Thousands of chained common table expressions: seconds to prepare,
        // and SQLite asks no progress handler meanwhile.
        QStringList chain;
        for (int i = 1; i <= 4500; ++i)
            chain << QStringLiteral("c%1 AS(SELECT*FROM c%2)").arg(i).arg(i - 1);
        CreateDb(source, kSourceKey,
                 QStringLiteral(u"CREATE TABLE c0 (棟番号 INTEGER, 小学校区 TEXT, 中学校区 TEXT);"
                                u"CREATE VIEW 棟マスタ AS WITH %1 SELECT * FROM c4500;")
                     .arg(chain.join(QLatin1Char(','))));
    } else {
        // Enough rows to take a while, each matching a target row now and then.
        CreateDb(source, kSourceKey,
                 kTable + QStringLiteral(u"WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r LIMIT 3000000) "
                                         u"INSERT INTO 棟マスタ SELECT n % 4000, '', '', 'new' FROM r;"));
    }
    form.show();
    QElapsedTimer sinceStop;
    int secondClicks = 0;
    // Stopped once the dialog is up and, between rows, once rows are done.
    QTimer poll;
    QElapsedTimer sinceExecute;
    sinceExecute.start();
    QObject::connect(&poll, &QTimer::timeout, &form, [&] {
        QProgressDialog* dialog = form.findChild<QProgressDialog*>();
        if (!dialog)
            return;
        if (c.afterMs > 0 ? sinceExecute.elapsed() < c.afterMs
                          : !dialog->isVisible() || (c.where == Where::betweenRows && dialog->value() < 100))
            return;
        poll.stop();
        // Nothing starts a second run meanwhile.
        form.findChild<QPushButton*>("Command2")->click();
        ++secondClicks;
        sinceStop.start();
        c.stop(form, *dialog);
    });
    poll.start(c.afterMs > 0 ? 10 : 50);
    sinceExecute.restart();
    execute(source);
    const qint64 stopped = sinceStop.elapsed();

    EXPECT_EQ(secondClicks, 1);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].number, vb::kUserInterrupt) << reported[0].description.toStdString();
    EXPECT_TRUE(shownBoxes.empty());
    EXPECT_LT(stopped, 500);
    EXPECT_TRUE(form.isVisible()) << "the window closed under the run";
    // What was written before the stop is in the file; nothing after it.
    const QStringList changed = QueryDb(target, kTargetKey, QStringLiteral(u"SELECT count(*) FROM 棟マスタ WHERE 中学校区 = 'new'"));
    if (c.where != Where::betweenRows)
        EXPECT_EQ(changed, QStringList{QStringLiteral("0")});
    else
        EXPECT_GT(changed.value(0).toInt(), 0);
    EXPECT_EQ(QueryDb(target, kTargetKey, QStringLiteral("PRAGMA integrity_check")), QStringList{QStringLiteral("ok")});
}

INSTANTIATE_TEST_SUITE_P(Stops, StoppedRun, ::testing::ValuesIn(kStopCases),
                         [](const auto& param) { return std::string(param.param.name); });

// The older edition's Access file as the source: the revision the same rows
// give in an encrypted source, and the source never written.
struct JetCase {
    const char* file;       // in tests/data/jet
    const char16_t* sourceSql; // the same live rows, in stored order, for an encrypted source
    const char* targetKeys; // the target's building numbers
};

const char16_t* const kMainRows =
    u"(101,'A-101','第一小学校区','第一中学校区'),(102,'B-102','第一小学校区','第二中学校区'),"
    u"(-3,'負の番号','南小学校区','南中学校区'),(0,'Zero','Minami-sho','Minami-chu'),(104,NULL,NULL,NULL),"
    u"(NULL,'番号なし','北小学校区','北中学校区'),(NULL,NULL,NULL,NULL),(105,'𠮷野家棟','𠮷野家区','𠮷野家区'),"
    u"(2147483647,'最大','東小学校区','東中学校区'),(-2147483648,'最小','西小学校区','西中学校区'),"
    u"(101,'A-101 重複','第一小学校区','第三中学校区'),(106,'','',''),(107,' 空白 ',' 西小学校区','西中学校区 '),"
    u"(108,'Ｃ棟','ﾆｼ小学校区','Nishi-chu')";
const char* const kMainKeys = "101,101,102,-3,0,103,104,105,2147483647,-2147483648,106,107,108,999";

const JetCase kJetCases[] = {
    {"source-long-v2000.mdb", kMainRows, kMainKeys},
    {"source-long-v2003.mdb", kMainRows, kMainKeys},
    {"double-key-v2000.mdb",
     u"(101.0,'','第一小学校区','第一中学校区'),(12.5,'','十二小学校区','十二・五中学校区'),"
     u"(13.5,'','十三小学校区','十三・五中学校区'),(-0.5,'','負小学校区','負の半中学校区'),"
     u"(102.5,'','百二小学校区','百二・五中学校区'),(-7.0,'','Minus-sho','Minus-chu'),(104.0,'',NULL,NULL),"
     u"(NULL,'','番号なし小学校区','番号なし中学校区'),(NULL,'',NULL,NULL),(105.0,'','𠮷野家区','𠮷野家区'),"
     u"(2147483647.0,'','最大小学校区','最大中学校区'),(-2147483648.0,'','最小小学校区','最小中学校区')",
     "101,12,13,14,0,102,-7,104,105,2147483647,-2147483648"},
};

void PrintTo(const JetCase& c, std::ostream* os) {
    *os << c.file;
}

class JetSourceRun : public RevisionRun, public ::testing::WithParamInterface<JetCase> {
protected:
    void makeTarget(const char* keys) {
        QString rows;
        for (const QString& key : QString::fromLatin1(keys).split(QLatin1Char(',')))
            rows += QStringLiteral("(%1,'','','old'),").arg(key);
        rows.chop(1);
        CreateDb(target, kTargetKey, kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES %1;").arg(rows));
    }
};

TEST_P(JetSourceRun, GivesTheRevisionOfTheSameRowsInAnEncryptedSourceAndLeavesTheSourceAlone) {
    const JetCase& c = GetParam();
    makeTarget(c.targetKeys);
    const QStringList untouched = QueryDb(target, kTargetKey, kDump);
    ASSERT_TRUE(QFile::copy(QStringLiteral(TOU_JET_DATA_DIR "/") + QLatin1String(c.file), source));
    const QByteArray sourceBytes = testsupport::FileBytes(source);
    const QDateTime sourceTime = QFileInfo(source).lastModified();
    const QStringList sourceFolder = QDir(QFileInfo(source).path()).entryList(QDir::Files | QDir::Hidden);

    execute(source);
    ASSERT_TRUE(reported.empty()) << reported.front().number << " " << reported.front().description.toStdString();
    const QStringList fromAccess = QueryDb(target, kTargetKey, kDump);
    EXPECT_EQ(testsupport::FileBytes(source), sourceBytes);
    EXPECT_EQ(QFileInfo(source).lastModified(), sourceTime);
    EXPECT_EQ(QDir(QFileInfo(source).path()).entryList(QDir::Files | QDir::Hidden), sourceFolder);

    QFile::remove(target);
    QFile::remove(source);
    makeTarget(c.targetKeys);
    CreateDb(source, kSourceKey,
             kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES %1;").arg(QString::fromUtf16(c.sourceSql)));
    execute(source);
    ASSERT_TRUE(reported.empty()) << reported.front().number << " " << reported.front().description.toStdString();
    EXPECT_EQ(fromAccess, QueryDb(target, kTargetKey, kDump));
    EXPECT_NE(fromAccess, untouched);
    EXPECT_EQ(shownBoxes.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Access, JetSourceRun, ::testing::ValuesIn(kJetCases),
                         [](const auto& param) {
                             std::string name = param.param.file;
                             for (char& ch : name)
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

struct BadAccessCase {
    const char* name;
    std::function<void(const QString& path)> make;
    int error;
};

void PrintTo(const BadAccessCase& c, std::ostream* os) {
    *os << c.name;
}

void copyFixture(const char* file, const QString& path) {
    ASSERT_TRUE(QFile::copy(QStringLiteral(TOU_JET_DATA_DIR "/") + QLatin1String(file), path));
    QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

const BadAccessCase kBadAccessCases[] = {
    {"WrongPassword", [](const QString& p) { copyFixture("wrong-password-v2000.mdb", p); }, 3031},
    {"NoBuildingTable", [](const QString& p) { copyFixture("no-tou-master-v2000.mdb", p); }, 3078},
    {"Access2007File",
     [](const QString& p) {
         QFile f(p);
         ASSERT_TRUE(f.open(QIODevice::WriteOnly));
         QByteArray page(4096, '\0');
         page.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard ACE DB", 19));
         f.write(page.repeated(4));
     },
     3343},
    {"Truncated",
     [](const QString& p) {
         copyFixture("source-long-v2000.mdb", p);
         QFile f(p);
         ASSERT_TRUE(f.open(QIODevice::ReadWrite));
         f.resize(3 * 4096);
     },
     3049},
};

class BadAccessSource : public RevisionRun, public ::testing::WithParamInterface<BadAccessCase> {};

TEST_P(BadAccessSource, EndsWithItsErrorAndTheTargetUnchanged) {
    const BadAccessCase& c = GetParam();
    CreateDb(target, kTargetKey, kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES (101,'','','old');"));
    c.make(source);
    const QByteArray targetBytes = testsupport::FileBytes(target), sourceBytes = testsupport::FileBytes(source);
    execute(source);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].number, c.error) << reported[0].description.toStdString();
    EXPECT_TRUE(reported[0].description.contains(source)) << reported[0].description.toStdString();
    EXPECT_EQ(testsupport::FileBytes(target), targetBytes);
    EXPECT_EQ(testsupport::FileBytes(source), sourceBytes);
}

INSTANTIATE_TEST_SUITE_P(Access, BadAccessSource, ::testing::ValuesIn(kBadAccessCases),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
