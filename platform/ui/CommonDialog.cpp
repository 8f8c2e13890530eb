#include "platform/ui/CommonDialog.h"

#include <QFileDialog>
#include <QStringList>

namespace platform {

namespace {

OpenFileHandler& currentHandler() {
    static OpenFileHandler handler;
    return handler;
}

QString toPosix(QString path) {
    return path.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

// Qt reads "description (patterns)"; patterns are separated by spaces there.
QString qtNameFilter(const FilterEntry& entry) {
    QString patterns = entry.pattern;
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    return entry.description + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

} // namespace

QList<FilterEntry> ParseFilter(const QString& filter) {
    QList<FilterEntry> entries;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty())
            continue;
        entries.append({parts[i], parts[i + 1]});
    }
    return entries;
}

ScopedOpenFileHandler::ScopedOpenFileHandler(OpenFileHandler handler)
    : ScopedOverride(currentHandler(), std::move(handler)) {}

QString ShowQtOpenDialog(const OpenFileRequest& request) {
    // Qt's own dialog, not the desktop's, so it behaves alike on every machine
    // and a typed full path can always be accepted with Enter.
    QFileDialog dialog(request.owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode((request.flags & cdlOFNFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setWindowModality(Qt::ApplicationModal);
    QStringList nameFilters;
    for (const FilterEntry& entry : request.filters)
        nameFilters.append(qtNameFilter(entry));
    if (!nameFilters.isEmpty()) {
        dialog.setNameFilters(nameFilters);
        const int index = request.filterIndex >= 1 && request.filterIndex <= nameFilters.size() ? request.filterIndex : 1;
        dialog.selectNameFilter(nameFilters[index - 1]);
    }
    if (!request.initDir.isEmpty())
        dialog.setDirectory(toPosix(request.initDir));
    if (!request.fileName.isEmpty())
        dialog.selectFile(toPosix(request.fileName));
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

void CommonDialog::ShowOpen() {
    const OpenFileRequest request{ParseFilter(filter_), filterIndex_, fileName_, flags_, initDir_, owner_.data()};
    const OpenFileHandler& handler = currentHandler();
    const QString chosen = handler ? handler(request) : ShowQtOpenDialog(request);
    if (!chosen.isEmpty())
        fileName_ = chosen;
}

} // namespace platform
