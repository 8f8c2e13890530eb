#include "app/Form1.h"

#include "app/RunProgress.h"
#include "pathutil/cShlwVB.h"
#include "revision/Revision.h"
#include "platform/ui/App.h"
#include "platform/ui/ErrorReport.h"
#include "platform/ui/MsgBox.h"
#include "runtime/RuntimeError.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace {

// Window geometry in twips; 15 twips make one pixel at 96 dots per inch.
constexpr int kTwipsPerPixel = 15;
constexpr int px(int twips) { return twips / kTwipsPerPixel; }

const QString kSourceFileName = QStringLiteral("Q4ProDB.mdb");
const QString kFilterDescription = QStringLiteral(u"データベースファイル(*.mdb)|");
const QString kFilterTerminator = QStringLiteral("|");
constexpr int kBrowseFlags = platform::cdlOFNFileMustExist | platform::cdlOFNHideReadOnly;

// The instruction lines were laid out for a narrower Japanese font than a
// Linux desktop's default, whose full-width kana run past the window's edge.
// A Japanese sans at 11 px ends both lines inside the window and stays
// legible; should none of these families be installed, the size steps down
// until the fallback font fits too, but never below the legible minimum.
constexpr int kPreferredPixelSize = 11;
constexpr int kSmallestPixelSize = 9;

QFont windowFont(const QWidget& window, std::initializer_list<const QLabel*> labels) {
    QFont font = window.font();
    font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
                      QStringLiteral("Source Han Sans JP"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("VL PGothic")});
    font.setStyleHint(QFont::SansSerif);
    for (int size = kPreferredPixelSize; size >= kSmallestPixelSize; --size) {
        font.setPixelSize(size);
        const QFontMetrics metrics(font);
        if (std::all_of(labels.begin(), labels.end(), [&](const QLabel* label) {
                return metrics.horizontalAdvance(label->text()) <= window.width() - label->x();
            }))
            break;
    }
    return font;
}

} // namespace

Form1::Form1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      Label1(new QLabel(QStringLiteral(u"Q4の棟マスタのデータを使用してQ5の棟マスタの情報を修正します。"), this)),
      Label2(new QLabel(QStringLiteral(u"Q4のデータベースを参照ボタンから選択し実行を押してください。"), this)),
      Text1(new QLineEdit(this)),
      Command1(new QPushButton(QStringLiteral(u"参照"), this)),
      Command2(new QPushButton(QStringLiteral(u"実行"), this)),
      CommonDialog1(this) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral(u"棟マスタデータ修正"));
    setFixedSize(px(5550), px(2385));

    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(px(240), px(120), px(5415), px(255));
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(px(240), px(480), px(5415), px(255));
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(px(240), px(960), px(4215), px(375));
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(px(4440), px(960), px(735), px(375));
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(px(1680), px(1440), px(2055), px(735));
    setFont(windowFont(*this, {Label1, Label2}));

    // Labels take no focus; Enter in the text box must click nothing.
    for (QPushButton* button : {Command1, Command2}) {
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFocusPolicy(Qt::StrongFocus);
    }
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command2);
    Text1->setFocus();

    connect(Command1, &QPushButton::clicked, this, [this] { platform::RunHandler([this] { Command1_Click(); }); });
    connect(Command2, &QPushButton::clicked, this, [this] { platform::RunHandler([this] { Command2_Click(); }); });
}

const dao::DBEnginePtr& Form1::Engine() {
    return revision::Engine();
}

void Form1::Form_Load() {
    GetAppPath();
}

void Form1::GetAppPath() {
    m_strAppPath = platform::App::Path();
    if (!m_strAppPath.endsWith(QLatin1Char('\\')))
        m_strAppPath += QLatin1Char('\\');
}

QString Form1::VBAddBackslash(QString strPathName) {
    cShlwVB shlw;
    return shlw.VBAddBackslash(std::move(strPathName));
}

void Form1::Command1_Click() {
    platform::CommonDialog& dialog = CommonDialog1;
    dialog.setFilter(kFilterDescription + kSourceFileName + kFilterTerminator);
    dialog.setFilterIndex(1);
    dialog.setFileName(QString());
    dialog.setFlags(kBrowseFlags);
    dialog.setInitDir(VBAddBackslash(platform::App::Path()));
    dialog.ShowOpen();
    Text1->setText(dialog.FileName());
}

void Form1::FuncOpenDatabase(dao::DatabasePtr& dbwk, vb::Boolean bln) {
    const QString strPath = vb::isTrue(bln) ? m_strTargetPath : m_strSourcePath;
    const QString strPassword = vb::isTrue(bln) ? revision::kTargetPassword : revision::kSourcePassword;
    revision::OpenDatabase(dbwk, strPath, strPassword, vb::isTrue(bln) ? revision::Side::target : revision::Side::source);
}

void Form1::ObjectClear(dao::DatabasePtr& dbwk, dao::RecordsetPtr& rswk,
                        dao::DatabasePtr& dbwk1, dao::RecordsetPtr& rswk1,
                        dao::DatabasePtr& dbwk2, dao::RecordsetPtr& rswk2,
                        dao::DatabasePtr& dbwk3, dao::RecordsetPtr& rswk3) {
    // Recordsets before databases; a failing Close stops here and keeps its reference.
    revision::CloseAll(dbwk, rswk, dbwk1, rswk1, dbwk2, rswk2, dbwk3, rswk3);
}

void Form1::closeEvent(QCloseEvent* event) {
    if (RunProgress* run = RunProgress::current()) {
        run->requestStop();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void Form1::Command2_Click() {
    // The window's events are let through during a run, never into a second one.
    if (RunProgress::current())
        return;
    // Declared databases first so that, on an error, the recordsets are released before them.
    dao::DatabasePtr dbwk, dbwk1, dbwk2, dbwk3;
    dao::RecordsetPtr rswk, rswk1, rswk2, rswk3;
    {
        RunProgress progress(this);
        revision::Run run(progress);

        m_strSourcePath = Text1->text();
        m_strTargetPath = m_strAppPath + revision::kTargetRelativePath;

        FuncOpenDatabase(dbwk, vb::vbFalse);
        FuncOpenDatabase(dbwk1, vb::vbTrue);
        run.reviseRows(dbwk, dbwk1, rswk, rswk1);
        ObjectClear(dbwk, rswk, dbwk1, rswk1, dbwk2, rswk2, dbwk3, rswk3);
    }
    platform::MsgBox(QStringLiteral(u"修正が完了しました。"), platform::vbOKOnly, QStringLiteral(u"棟データ修正"));
}
