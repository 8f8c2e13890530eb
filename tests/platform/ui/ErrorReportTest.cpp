// The default error report, run in a helper process so that the program
// really ends: its box shows the error's number and description, and the
// process ends with status 1.
#include "tests/support/Printers.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>

namespace {

TEST(ErrorReport, ShowsTheNumberAndDescriptionThenEndsTheProgramWithStatusOne) {
    const struct {
        const char* error;
        QString text;
    } cases[] = {
        {"runtime", QStringLiteral("Run-time error '6':\n\nOverflow")},
        {"numbered", QStringLiteral(u"Run-time error '3024':\n\nファイル 'x.mdb' が見つかりません。")},
        {"length", QStringLiteral("Run-time error '51':\n\nInternal error: vector too long")},
        {"memory", QStringLiteral("Run-time error '7':\n\nOut of memory")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        QProcess child;
        child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tou-error-report-child"),
                    {QString::fromLatin1(c.error)});
        ASSERT_TRUE(child.waitForStarted(10000)) << child.errorString().toStdString();
        if (!child.waitForFinished(20000)) {
            child.kill();
            child.waitForFinished();
            FAIL() << "the program did not end after the report";
        }
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 1);
        // 16: the critical icon.
        EXPECT_EQ(QString::fromUtf8(child.readAllStandardOutput()), QStringLiteral("box 16\n") + c.text + u'\n');
    }
}

} // namespace
