// The window as a user meets it: layout, captions, focus order, start-up.
#include "app/Form1.h"
#include "app/Translations.h"
#include "runtime/RuntimeError.h"
#include "platform/ui/App.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>

namespace {

struct ControlCase {
    const char* name;
    QRect twips;
};

TEST(Form1Layout, ControlsSitAtTheirTwipPositions) {
    Form1 form;
    const ControlCase cases[] = {
        {"Label1", {240, 120, 5415, 255}},  {"Label2", {240, 480, 5415, 255}},
        {"Text1", {240, 960, 4215, 375}},   {"Command1", {4440, 960, 735, 375}},
        {"Command2", {1680, 1440, 2055, 735}},
    };
    for (const ControlCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto* widget = form.findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), QRect(c.twips.x() / 15, c.twips.y() / 15, c.twips.width() / 15, c.twips.height() / 15));
    }
}

TEST(Form1Layout, WindowIsFixedSizeWithCaptionAndCloseOnly) {
    Form1 form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral(u"棟マスタデータ修正"));
    EXPECT_EQ(form.minimumSize(), QSize(370, 159));
    EXPECT_EQ(form.maximumSize(), QSize(370, 159));
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
}

TEST(Form1Layout, CaptionsAndStartingTexts) {
    Form1 form;
    EXPECT_EQ(form.findChild<QLabel*>("Label1")->text(), QStringLiteral(u"Q4の棟マスタのデータを使用してQ5の棟マスタの情報を修正します。"));
    EXPECT_EQ(form.findChild<QLabel*>("Label2")->text(), QStringLiteral(u"Q4のデータベースを参照ボタンから選択し実行を押してください。"));
    EXPECT_EQ(form.findChild<QPushButton*>("Command1")->text(), QStringLiteral(u"参照"));
    EXPECT_EQ(form.findChild<QPushButton*>("Command2")->text(), QStringLiteral(u"実行"));
    EXPECT_TRUE(form.findChild<QLineEdit*>("Text1")->text().isEmpty());
    EXPECT_EQ(form.findChild<QLineEdit*>("Text1")->maxLength(), 32767); // Qt's own ceiling; no limit of ours
    EXPECT_TRUE(form.SourcePath().isEmpty());
    EXPECT_TRUE(form.AppPath().isEmpty()); // set only by load
}

TEST(Form1Focus, TabCyclesTextBrowseExecuteAndSkipsLabels) {
    Form1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    auto* text1 = form.findChild<QLineEdit*>("Text1");
    EXPECT_EQ(QApplication::focusWidget(), text1);
    const char* order[] = {"Command1", "Command2", "Text1", "Command1"};
    for (const char* name : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QString::fromLatin1(name));
    }
}

TEST(Form1Focus, EnterInTextBoxClicksNoButton) {
    Form1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QSignalSpy browse(form.findChild<QPushButton*>("Command1"), &QPushButton::clicked);
    QSignalSpy execute(form.findChild<QPushButton*>("Command2"), &QPushButton::clicked);
    auto* text1 = form.findChild<QLineEdit*>("Text1");
    text1->setFocus();
    QTest::keyClick(text1, Qt::Key_Return);
    QTest::keyClick(text1, Qt::Key_Enter);
    EXPECT_EQ(browse.count(), 0);
    EXPECT_EQ(execute.count(), 0);
}

TEST(Form1Load, AppPathEndsInExactlyOneBackslash) {
    struct Case {
        const char* platformPath;
        const char* expected;
    } cases[] = {
        {"C:\\Tools", "C:\\Tools\\"},
        {"D:\\", "D:\\"},
        {"\\\\server\\share\\tools", "\\\\server\\share\\tools\\"},
        {"/opt/tool", "/opt/tool\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.platformPath);
        platform::App::ScopedPathOverride where(QString::fromLatin1(c.platformPath));
        Form1 form;
        form.Form_Load();
        EXPECT_EQ(form.AppPath(), QString::fromLatin1(c.expected));
    }
}

TEST(Form1Load, RealAppPathIsTheExecutablesFolder) {
    Form1 form;
    form.Form_Load();
    EXPECT_EQ(form.AppPath(), QCoreApplication::applicationDirPath() + QLatin1Char('\\'));
}

} // namespace

namespace {

TEST(Translations, JapaneseLocaleShowsJapaneseErrorTexts) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    InstallTranslations(*QCoreApplication::instance());
    EXPECT_EQ(vb::standardDescription(vb::kOverflow), QStringLiteral(u"オーバーフローしました。"));
    EXPECT_EQ(QCoreApplication::translate("ErrorReport", "Run-time error '%1':\n\n%2").arg(6).arg(QStringLiteral("x")),
              QStringLiteral(u"実行時エラー '6':\n\nx"));
    // Leave no translator behind for the other tests.
    for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    QLocale::setDefault(previous);
    EXPECT_EQ(vb::standardDescription(vb::kOverflow), QStringLiteral("Overflow"));
}

} // namespace
