#pragma once
// The copy of a target file the writer changes, and how it replaces the
// original. Chosen over writing the original in place: Jet has no journal,
// and one update may change two or three pages (the row's page, the page it
// moves to, the usage maps), so a kill between those writes would leave a
// file Access reads wrongly. The copy sits beside the original (same file
// system, so the final rename() is atomic): a kill at any moment leaves
// either the untouched original or the complete new file, and the next open
// removes the abandoned copy.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/FileDescriptor.h"

#include <QString>

#include <sys/stat.h>

namespace dao::jet::detail {

class WorkingCopy {
public:
    // Copies `original` (open as `originalFd`) beside it, after removing what
    // earlier runs left there. Raises 3026/3043 when the copy cannot be made.
    WorkingCopy(const QString& original, int originalFd);
    // Removes the copy unless it replaced the original.
    ~WorkingCopy();
    WorkingCopy(const WorkingCopy&) = delete;
    WorkingCopy& operator=(const WorkingCopy&) = delete;

    const QString& path() const noexcept { return path_; }
    // A second descriptor of the copy, for the page file.
    FileDescriptor open() const;

    // Makes the copy durable and puts it in the original's place, with the
    // original's mode, owner and extended attributes. Raises 3197 (the copy
    // removed, the original kept) when the original changed since the copy
    // was made or Access opened it meanwhile; 3026/3043 when the system fails.
    void replaceOriginal();
    // Removes the copy; the original stays as it is.
    void discard() noexcept;

    // The name pattern of copies beside `original`: ".<name>.tou-<pid>.tmp".
    static QString nameFor(const QString& original, long pid);

private:
    QString original_;
    QString path_;
    FileDescriptor fd_;
    struct stat originalStat_ {};
    bool done_ = false;
};

} // namespace dao::jet::detail
