#include "platform/ui/App.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace platform::App {

namespace {
QString& pathOverride() {
    static QString path;
    return path;
}
} // namespace

ScopedPathOverride::ScopedPathOverride(QString path) : ScopedOverride(pathOverride(), std::move(path)) {}

QString Path() {
    if (!pathOverride().isEmpty())
        return pathOverride();
    // Resolved from the executable itself so that a start from any working
    // folder finds the same program folder.
    QString dir = QCoreApplication::applicationDirPath();
    if (dir.isEmpty())
        dir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir.isEmpty() ? QStringLiteral("/") : dir;
}

QString Title() {
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("tou-master-fix") : name;
}

} // namespace platform::App
