#pragma once
// The program's one window: a path box, Browse and Execute. Execute revises
// the newer database's building master from the older one's.
#include "platform/dao/Dao.h"
#include "platform/ui/CommonDialog.h"
#include "runtime/Truth.h"

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);

    // Event handlers, run by the window's event dispatch (or by main for load).
    void Form_Load();
    void Command1_Click();
    void Command2_Click();

    // The window's own methods. Public so the database session rules can be exercised directly.
    void GetAppPath();
    QString VBAddBackslash(QString strPathName);
    void FuncOpenDatabase(dao::DatabasePtr& dbwk, vb::Boolean bln);
    static void ObjectClear(dao::DatabasePtr& dbwk, dao::RecordsetPtr& rswk,
                            dao::DatabasePtr& dbwk1, dao::RecordsetPtr& rswk1,
                            dao::DatabasePtr& dbwk2, dao::RecordsetPtr& rswk2,
                            dao::DatabasePtr& dbwk3, dao::RecordsetPtr& rswk3);

    const QString& AppPath() const { return m_strAppPath; }
    const QString& SourcePath() const { return m_strSourcePath; }
    const QString& TargetPath() const { return m_strTargetPath; }
    // The process-wide engine, empty until the first database is opened.
    static const dao::DBEnginePtr& Engine();

protected:
    // While a run goes on, a close request stops it instead (the program
    // then ends as after any error).
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* Text1;
    QPushButton* Command1;
    QPushButton* Command2;
    platform::CommonDialog CommonDialog1;

    QString m_strAppPath;
    QString m_strSourcePath;
    QString m_strTargetPath;
};
