// The Browse button: what it asks of the file chooser and what it does with the answer.
#include "app/Form1.h"
#include "platform/ui/App.h"
#include "platform/ui/CommonDialog.h"
#include "platform/ui/ErrorReport.h"
#include "tests/support/Printers.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

class Browse : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // Clicks Browse with the chooser answered by `answer`; returns what it was asked.
    std::vector<platform::OpenFileRequest> click(const QString& answer) {
        std::vector<platform::OpenFileRequest> asked;
        platform::ScopedOpenFileHandler chooser([&](const platform::OpenFileRequest& r) {
            asked.push_back(r);
            return answer;
        });
        platform::ScopedErrorReportHandler reports([](const platform::ErrorReportRequest& r) {
            ADD_FAILURE() << "error " << r.number << ": " << r.description.toStdString();
        });
        form.findChild<QPushButton*>("Command1")->click();
        return asked;
    }

    QLineEdit* text1() { return form.findChild<QLineEdit*>("Text1"); }

    QTemporaryDir dir;
    Form1 form;
};

TEST_F(Browse, AsksForTheDatabaseFileInTheProgramFolder) {
    platform::App::ScopedPathOverride where(QStringLiteral("C:\\Tools"));
    const auto asked = click(QString());
    ASSERT_EQ(asked.size(), 1u);
    const platform::OpenFileRequest& r = asked[0];
    ASSERT_EQ(r.filters.size(), 1);
    EXPECT_EQ(r.filters[0].description, QStringLiteral(u"データベースファイル(*.mdb)"));
    EXPECT_EQ(r.filters[0].pattern, QStringLiteral("Q4ProDB.mdb"));
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_TRUE(r.fileName.isEmpty());
    EXPECT_EQ(r.flags, 4100);
    EXPECT_EQ(r.initDir, QStringLiteral("C:\\Tools\\"));
}

TEST_F(Browse, StartFolderIsAskedAnewAndIsNeverThePreviousChoice) {
    struct Case {
        const char* programFolder;
        const char* expectedInitDir;
    } cases[] = {{"D:\\", "D:\\"}, {"/opt/tool", "/opt/tool\\"}, {"\\\\srv\\share\\tools", "\\\\srv\\share\\tools\\"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.programFolder);
        platform::App::ScopedPathOverride where(QString::fromLatin1(c.programFolder));
        const auto asked = click(QStringLiteral("/elsewhere/data/Q4ProDB.mdb"));
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].initDir, QString::fromLatin1(c.expectedInitDir));
        EXPECT_TRUE(asked[0].fileName.isEmpty());
    }
}

TEST_F(Browse, ChoiceReplacesTheTextAndCancelEmptiesIt) {
    text1()->setText(QStringLiteral("typed before"));
    click(QStringLiteral("/data/old edition/Q4ProDB.mdb"));
    EXPECT_EQ(text1()->text(), QStringLiteral("/data/old edition/Q4ProDB.mdb"));
    click(QString());
    EXPECT_EQ(text1()->text(), QString());
}

} // namespace
