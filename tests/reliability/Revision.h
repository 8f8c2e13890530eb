#pragma once
// What the fault tests share: a program folder with its target and a source
// in a temporary folder, the building tables in them, dumps to compare, and
// a run of the window's Execute in this process.
#include "tests/support/EncryptedDb.h"
#include "tests/support/Keys.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <map>
#include <optional>
#include <vector>

namespace reliability {

using testsupport::kNull;
using testsupport::kSourceKey;
using testsupport::kTargetKey;

inline const QString kTable =
    QStringLiteral(u"CREATE TABLE 棟マスタ (棟番号 INTEGER, 棟名称 TEXT, 小学校区 TEXT, 中学校区 TEXT);");

struct Row {
    QString number; // as SQL: 101, 12.5, '7', NULL
    QString name;
    QString primary;
    QString junior; // kNull for Null, as dumps read it
};

// Creates an encrypted file (an empty key: plain SQLite) holding `schema` and the rows.
void writeTable(const QString& path, const QString& key, const std::vector<Row>& rows, const QString& schema = kTable);

// The target rows a complete run must leave: for each building number the
// first target row takes the junior-high district of the last source row
// with that number (Null as the empty text); every other row stays.
std::vector<Row> expectedTarget(const std::vector<Row>& target, const std::vector<Row>& source);

// "rowid|棟番号|棟名称|小学校区|中学校区" per row, in rowid order. Opens for
// writing, as the next run would, so a left-over journal is rolled back first.
QStringList dump(const QString& path, const QString& key);
QStringList dumpOf(const std::vector<Row>& rows); // the same form for rows 1..n
QStringList query(const QString& path, const QString& key, const QString& sql);
QString integrity(const QString& path, const QString& key);

// Every file under a folder with its bytes.
std::map<QString, QByteArray> snapshot(const QString& folder);

// A program folder ("prog", with Q_db) and a source folder ("src") in a fresh temporary folder.
struct Layout {
    Layout();
    QTemporaryDir root;
    QString programDir;
    QString target;
    QString source;
};

struct Outcome {
    bool completed = false; // the completion box was shown
    int error = 0;          // the reported error number, 0 for none
    QString description;
    qint64 elapsedMs = 0;
};

// Execute clicked in a window of this process, with the program folder and typed path given.
Outcome runInProcess(const QString& programDir, const QString& typedSource);

} // namespace reliability
