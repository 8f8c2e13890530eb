// The Browse button: what it asks of the file chooser and what it does with the answer.
#include "app/Form1.h"
#include "platform/ui/App.h"
#include "platform/ui/CommonDialog.h"
#include "platform/ui/ErrorReport.h"
#include "tests/support/Printers.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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

TEST(FilterText, ParsesDescriptionPatternPairs) {
    using platform::FilterEntry;
    struct Case {
        const char* filter;
        QList<FilterEntry> expected;
    } cases[] = {
        {"", {}},
        {"A|*.a|", {{"A", "*.a"}}},
        {"A|*.a|B|*.b;*.c", {{"A", "*.a"}, {"B", "*.b;*.c"}}},
        {"lonely", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        EXPECT_EQ(platform::ParseFilter(QString::fromUtf8(c.filter)), c.expected);
    }
}

// Drives Qt's real dialog offscreen: type a full path and accept, or cancel.
class RealDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        file = dir.filePath(QStringLiteral("Q4ProDB.mdb"));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    // Answers the next modal dialog with `act` once it is up.
    void whenShown(std::function<void(QFileDialog*)> act) {
        QTimer::singleShot(0, [act] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                ADD_FAILURE() << "no file dialog shown";
                return;
            }
            act(dialog);
        });
    }

    platform::OpenFileRequest request() const {
        return {platform::ParseFilter(QStringLiteral(u"データベースファイル(*.mdb)|Q4ProDB.mdb|")), 1, QString(), 4100,
                dir.path() + QLatin1Char('\\'), nullptr};
    }

    QTemporaryDir dir;
    QString file;
};

TEST_F(RealDialog, TypedFullPathIsAccepted) {
    whenShown([this](QFileDialog* d) {
        EXPECT_EQ(d->directory().absolutePath(), QDir(dir.path()).absolutePath());
        // The file-type box shows the description alone; the pattern is the one file name.
        EXPECT_EQ(d->selectedNameFilter(), QStringLiteral(u"データベースファイル(*.mdb)"));
        EXPECT_EQ(d->nameFilters(), QStringList{QStringLiteral(u"データベースファイル(*.mdb) (Q4ProDB.mdb)")});
        EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFile);
        auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setText(file);
        QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_EQ(platform::ShowQtOpenDialog(request()), file);
}

TEST_F(RealDialog, MissingFileIsRefusedAndEscapeCancels) {
    whenShown([this](QFileDialog* d) {
        auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setText(dir.filePath(QStringLiteral("missing.mdb")));
        bool warned = false;
        // The dialog says so in a box of its own; close it once it is up.
        QTimer::singleShot(0, [&warned] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                warned = true;
                box->accept();
            }
        });
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_TRUE(warned);
        EXPECT_TRUE(d->isVisible()); // the dialog refuses a missing file and stays open
        QTest::keyClick(d, Qt::Key_Escape);
    });
    EXPECT_EQ(platform::ShowQtOpenDialog(request()), QString());
}

} // namespace
