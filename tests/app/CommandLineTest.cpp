// The revision without the window: the same file as through the window, and
// the command line's success, error and stop as a script sees them.
#include "app/Form1.h"
#include "platform/ui/App.h"
#include "platform/ui/ErrorReport.h"
#include "platform/ui/MsgBox.h"
#include "revision/Revision.h"
#include "tests/support/EncryptedDb.h"
#include "tests/support/Keys.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <signal.h>

#include <functional>

using testsupport::CreateDb;
using testsupport::kSourceKey;
using testsupport::kTargetKey;
using testsupport::QueryDb;

namespace {

const QString kTable = QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT);");
const QString kDump = QStringLiteral(u"SELECT rowid, 棟番号, 棟名称, 小学校区, 中学校区 FROM 棟マスタ ORDER BY rowid");

// `rows` generated rows: numbers 1..rows, the district named after the number.
QString generated(int rows, const QString& district) {
    return kTable + QStringLiteral(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                   u"INSERT INTO 棟マスタ SELECT i, '棟' || i, '小' || i, '%2' || i FROM n;")
                        .arg(rows)
                        .arg(district);
}

TEST(RevisionUnit, RevisesTheSameFileAsTheWindow) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString source = root.filePath(QStringLiteral("Q4ProDB.mdb"));
    CreateDb(source, kSourceKey,
             kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES (101,'a','x','北中'),(102,'b','y',NULL),"
                                     u"(999,'c','z','無'),(101,'d','w','南中'),(103.5,'e','v','東中');"));
    const QString targetScript =
        kTable + QStringLiteral(u"INSERT INTO 棟マスタ VALUES (101,'A','X','旧'),(102,'B','Y','旧'),(101,'C','Z','旧'),"
                                u"(104,'D','W','旧'),(104,'E','V','旧');");
    QString targets[2];
    for (int i = 0; i < 2; ++i) {
        const QString program = root.filePath(QStringLiteral("prog%1").arg(i));
        QDir().mkpath(program + QStringLiteral("/Q_db"));
        targets[i] = program + QStringLiteral("/Q_db/Q5ProDB.mdb");
        CreateDb(targets[i], kTargetKey, targetScript);
    }

    {
        platform::App::ScopedPathOverride where(root.filePath(QStringLiteral("prog0")));
        int boxes = 0;
        platform::ScopedMsgBoxHandler answer([&boxes](const platform::MsgBoxRequest&) {
            ++boxes;
            return platform::vbOK;
        });
        platform::ScopedErrorReportHandler reports([](const platform::ErrorReportRequest& r) {
            ADD_FAILURE() << r.number << " " << r.description.toStdString();
        });
        Form1 form;
        form.Form_Load();
        form.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(source);
        form.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        ASSERT_EQ(boxes, 1);
    }
    revision::Progress quiet;
    const revision::Outcome outcome =
        revision::Revise(source, revision::TargetUnder(root.filePath(QStringLiteral("prog1"))), quiet);

    EXPECT_EQ(outcome.read, 5);
    EXPECT_EQ(outcome.revised, 4); // 101 twice, 102, and 103.5 rounded half to even: 104
    EXPECT_EQ(outcome.notFound, 1); // 999
    const QStringList window = QueryDb(targets[0], kTargetKey, kDump);
    EXPECT_EQ(QueryDb(targets[1], kTargetKey, kDump), window);
    EXPECT_EQ(window, QStringList({QStringLiteral(u"1|101|A|X|南中"), QStringLiteral(u"2|102|B|Y|"),
                                   QStringLiteral(u"3|101|C|Z|旧"), QStringLiteral(u"4|104|D|W|東中"),
                                   QStringLiteral(u"5|104|E|V|旧")}));
}

struct CommandLineCase {
    const char* name;
    int sourceRows;        // 0: no source file at all
    bool japanese;         // run under a Japanese locale
    bool interrupt;        // Ctrl-C once the rows have begun
    int status;
    QString expectedOut;   // in standard output (empty: nothing asked)
    QString expectedErr;   // in standard error
};

void PrintTo(const CommandLineCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandLine : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLine, RunsAsAScriptExpects) {
    const CommandLineCase& c = GetParam();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString source = root.filePath(QStringLiteral("Q4ProDB.mdb"));
    const QString target = root.filePath(QStringLiteral("Q5ProDB.mdb"));
    const int targetRows = std::max(c.sourceRows, 3);
    CreateDb(target, kTargetKey, generated(targetRows, QStringLiteral(u"旧")));
    if (c.sourceRows > 0)
        CreateDb(source, kSourceKey, generated(c.sourceRows, QStringLiteral(u"新")));

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("LANG"), c.japanese ? QStringLiteral("ja_JP.UTF-8") : QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), c.japanese ? QStringLiteral("ja_JP.UTF-8") : QStringLiteral("C.UTF-8"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(TOU_PROGRAM), {QStringLiteral("--source"), source, QStringLiteral("--target"), target});
    ASSERT_TRUE(program.waitForStarted());
    if (c.interrupt) {
        // A counter line past 0 says rows have been written: stop there.
        program.setReadChannel(QProcess::StandardError);
        QByteArray line;
        while (!line.contains(" / ") || line.startsWith("0 / ")) {
            if (!program.canReadLine() && !program.waitForReadyRead(60000))
                break;
            if (program.canReadLine())
                line = program.readLine();
        }
        ASSERT_TRUE(line.contains(" / ") && !line.startsWith("0 / ")) << line.toStdString();
        ::kill(static_cast<pid_t>(program.processId()), SIGINT);
    }
    ASSERT_TRUE(program.waitForFinished(120000));
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), c.status) << err.toStdString();
    if (!c.expectedOut.isEmpty()) {
        EXPECT_TRUE(out.contains(c.expectedOut)) << out.toStdString();
    }
    EXPECT_TRUE(err.contains(c.expectedErr)) << err.toStdString();

    // Revised rows are always a prefix of the source's: a stop keeps those before it.
    const QStringList districts = QueryDb(target, kTargetKey, QStringLiteral(u"SELECT 中学校区 FROM 棟マスタ ORDER BY rowid"));
    int revised = 0;
    while (revised < districts.size() && districts[revised].startsWith(u'新'))
        ++revised;
    for (int i = revised; i < districts.size(); ++i)
        EXPECT_EQ(districts[i], QStringLiteral(u"旧%1").arg(i + 1));
    if (c.interrupt) {
        EXPECT_GT(revised, 0);
        EXPECT_LT(revised, c.sourceRows);
    } else {
        EXPECT_EQ(revised, c.status == 0 ? c.sourceRows : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLine,
    ::testing::Values(
        CommandLineCase{"Success", 3, false, false, 0,
                        QStringLiteral("Done: 3 rows read, 3 revised, 0 not found in the target."), QString()},
        CommandLineCase{"MissingSourceInJapanese", 0, true, false, 1, QString(),
                        QStringLiteral(u"実行時エラー '3024'")},
        CommandLineCase{"CtrlCStopsAsStopDoes", 300000, false, true, 1, QString(),
                        QStringLiteral("Run-time error '18'")}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
