// The file chooser: the filter text it is given, and Qt's real dialog
// driven offscreen.
#include "platform/ui/CommonDialog.h"
#include "tests/support/Printers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

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
