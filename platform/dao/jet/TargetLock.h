#pragma once
// Keeps others off a target file for as long as it is revised: refuses a
// file Access has open (its "<name>.ldb" lock file beside it, in any letter
// case, naming the computers that use it), and holds an advisory lock (an
// open-file-description lock, which other copies of this program test) on the
// file itself. Access on Windows sees neither; the .ldb check before the work
// and again before the result replaces the file is what covers it.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/FileDescriptor.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace dao::jet::detail {

struct LockFile {
    QString path;
    QStringList computers; // as its records name them, in order, without repeats
};

// The .ldb beside `path`, if there is one.
std::optional<LockFile> accessLockFile(const QString& path);

class TargetLock {
public:
    // Raises 3045 naming the .ldb and its computers, or 3045 when another
    // copy of this program holds the file; 3027 for a file that may not be
    // written, 3051 when it cannot be opened.
    explicit TargetLock(const QString& path);

    // The locked file, open for reading and writing (never written through).
    int fd() const noexcept { return fd_.get(); }

private:
    FileDescriptor fd_;
};

} // namespace dao::jet::detail
