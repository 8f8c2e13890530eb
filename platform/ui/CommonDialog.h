#pragma once
// The file chooser behind a Browse button: properties are set, ShowOpen runs
// the modal dialog, and FileName then holds the chosen path ("" on cancel).
// The real dialog is Qt's own QFileDialog; tests answer it with
// ScopedOpenFileHandler.
#include "platform/ui/ScopedOverride.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

namespace platform {

// Flags bits the chooser understands.
inline constexpr int cdlOFNHideReadOnly = 0x4;
inline constexpr int cdlOFNFileMustExist = 0x1000;

struct FilterEntry {
    QString description;
    QString pattern; // one or more patterns separated by ";"
    friend bool operator==(const FilterEntry&, const FilterEntry&) = default;
};

// Reads a filter text of "description|pattern|description|pattern|..." pairs.
QList<FilterEntry> ParseFilter(const QString& filter);

struct OpenFileRequest {
    QList<FilterEntry> filters;
    int filterIndex = 1; // 1-based
    QString fileName;
    int flags = 0;
    QString initDir;
    QWidget* owner = nullptr;
};

// Returns the chosen full path, or the empty text when the user cancels.
using OpenFileHandler = std::function<QString(const OpenFileRequest&)>;

class ScopedOpenFileHandler : public ScopedOverride<OpenFileHandler> {
public:
    explicit ScopedOpenFileHandler(OpenFileHandler handler);
};

class CommonDialog {
public:
    explicit CommonDialog(QWidget* owner = nullptr) : owner_(owner) {}

    const QString& Filter() const { return filter_; }
    void setFilter(const QString& v) { filter_ = v; }
    int FilterIndex() const { return filterIndex_; }
    void setFilterIndex(int v) { filterIndex_ = v; }
    const QString& FileName() const { return fileName_; }
    void setFileName(const QString& v) { fileName_ = v; }
    int Flags() const { return flags_; }
    void setFlags(int v) { flags_ = v; }
    const QString& InitDir() const { return initDir_; }
    void setInitDir(const QString& v) { initDir_ = v; }

    // Modal; returns when the user chooses a file or cancels. A cancel leaves FileName as it was.
    void ShowOpen();

private:
    QPointer<QWidget> owner_;
    QString filter_;
    int filterIndex_ = 0;
    QString fileName_;
    int flags_ = 0;
    QString initDir_;
};

// The real dialog, used when no handler is set; exposed so tests can drive it offscreen.
QString ShowQtOpenDialog(const OpenFileRequest& request);

} // namespace platform
