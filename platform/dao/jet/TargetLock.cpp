#include "platform/dao/jet/TargetLock.h"

#include "platform/dao/Errors.h"
#include "platform/dao/Names.h"
#include "platform/dao/jet/Bytes.h"
#include "platform/dao/jet/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace dao::jet::detail {

namespace {

constexpr qsizetype kRecordSize = 64;  // computer name, then security name
constexpr qsizetype kNameSize = 32;
constexpr qsizetype kMostRecords = 255;

} // namespace

std::optional<LockFile> accessLockFile(const QString& path) {
    const QFileInfo info(path);
    const QString wanted = info.completeBaseName() + QStringLiteral(".ldb");
    const QDir dir = info.absoluteDir();
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    const std::optional<std::size_t> found = findName(names, wanted);
    if (!found)
        return std::nullopt;
    LockFile lock{dir.filePath(names[static_cast<qsizetype>(*found)]), {}};
    QFile file(lock.path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray records = file.read(kRecordSize * kMostRecords);
        // Windows writes the names in the system's code page.
        CodePage codePage(932);
        for (qsizetype at = 0; at + kNameSize <= records.size(); at += kRecordSize) {
            QByteArray raw = records.mid(at, kNameSize);
            raw.truncate(raw.indexOf('\0') < 0 ? raw.size() : raw.indexOf('\0'));
            const QString computer =
                codePage
                    .decode(Bytes(std::span(reinterpret_cast<const std::uint8_t*>(raw.constData()),
                                            static_cast<std::size_t>(raw.size()))))
                    .trimmed();
            if (!computer.isEmpty() && !lock.computers.contains(computer))
                lock.computers.append(computer);
        }
    }
    return lock;
}

TargetLock::TargetLock(const QString& path) {
    if (const std::optional<LockFile> ldb = accessLockFile(path))
        throw errors::openInAccess(path, ldb->path, ldb->computers);
    // Opened for writing, as the lock needs and as a file Access may write is.
    fd_ = FileDescriptor(::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC | O_NOCTTY));
    if (!fd_)
        throw errno == EACCES || errno == EROFS || errno == EPERM ? errors::readOnlyFile(path)
                                                                  : errors::cannotOpenFile(path);
    struct flock claim {};
    claim.l_type = F_WRLCK;
    claim.l_whence = SEEK_SET;
    claim.l_start = 0;
    claim.l_len = 0; // the whole file
    if (::fcntl(fd_.get(), F_OFD_SETLK, &claim) != 0) {
        if (errno == EAGAIN || errno == EACCES)
            throw errors::targetInUse(path);
        throw errors::cannotOpenFile(path);
    }
}

} // namespace dao::jet::detail
