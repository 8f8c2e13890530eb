#include "tests/reliability/Revision.h"

#include "platform/ui/ErrorReport.h"
#include "revision/Revision.h"
#include "tests/support/EncryptedDb.h"

#include <QDir>
#include <QDirIterator>

#include <map>

namespace reliability {

namespace {

QString value(const QString& v) {
    return v == kNull ? QStringLiteral("NULL") : QLatin1Char('\'') + QString(v).replace(u'\'', QStringLiteral("''")) + QLatin1Char('\'');
}

} // namespace

void writeTable(const QString& path, const QString& key, const std::vector<Row>& rows, const QString& schema) {
    QString script = schema;
    for (const Row& r : rows)
        script += QStringLiteral(u"INSERT INTO 棟マスタ VALUES (%1, %2, %3, %4);")
                      .arg(r.number, value(r.name), value(r.primary), value(r.junior));
    testsupport::CreateDb(path, key, script);
}

std::vector<Row> expectedTarget(const std::vector<Row>& target, const std::vector<Row>& source) {
    // Both sides compare numbers as numbers; the tests use whole numbers written plainly.
    std::map<QString, QString> last;
    for (const Row& r : source)
        last[r.number] = r.junior == kNull ? QString() : r.junior;
    std::vector<Row> out = target;
    std::map<QString, bool> seen;
    for (Row& r : out) {
        if (seen[r.number])
            continue;
        seen[r.number] = true;
        if (auto it = last.find(r.number); it != last.end())
            r.junior = it->second;
    }
    return out;
}

QStringList query(const QString& path, const QString& key, const QString& sql) {
    return testsupport::QueryDb(path, key, sql, true);
}

QStringList dump(const QString& path, const QString& key) {
    return query(path, key, QStringLiteral(u"SELECT rowid, 棟番号, 棟名称, 小学校区, 中学校区 FROM 棟マスタ ORDER BY rowid"));
}

QStringList dumpOf(const std::vector<Row>& rows) {
    QStringList out;
    for (std::size_t i = 0; i < rows.size(); ++i)
        out << QStringLiteral("%1|%2|%3|%4|%5").arg(i + 1).arg(rows[i].number, rows[i].name, rows[i].primary, rows[i].junior);
    return out;
}

QString integrity(const QString& path, const QString& key) {
    return query(path, key, QStringLiteral("PRAGMA integrity_check")).join(u'\n');
}

std::map<QString, QByteArray> snapshot(const QString& folder) {
    std::map<QString, QByteArray> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        files[f] = QFileInfo(f).isFile() ? testsupport::FileBytes(f) : QByteArray("<folder>");
    }
    return files;
}

Layout::Layout() {
    QDir(root.path()).mkpath(QStringLiteral("prog/Q_db"));
    QDir(root.path()).mkpath(QStringLiteral("src"));
    programDir = root.filePath(QStringLiteral("prog"));
    target = programDir + QStringLiteral("/Q_db/Q5ProDB.mdb");
    source = root.filePath(QStringLiteral("src/Q4ProDB.mdb"));
}

Outcome runInProcess(const QString& programDir, const QString& typedSource) {
    Outcome outcome;
    QElapsedTimer clock;
    clock.start();
    try {
        revision::Progress progress;
        revision::Revise(typedSource, revision::TargetUnder(programDir), progress);
        outcome.completed = true;
    } catch (const std::exception&) {
        const platform::ErrorReportRequest report = platform::CaughtError();
        outcome.error = report.number;
        outcome.description = report.description;
    }
    outcome.elapsedMs = clock.elapsed();
    return outcome;
}

} // namespace reliability
