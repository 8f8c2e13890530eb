#include "platform/dao/jet/WorkingCopy.h"

#include "platform/dao/Errors.h"
#include "platform/dao/jet/TargetLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace dao::jet::detail {

namespace {

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

vb::RuntimeError systemError(const QString& path) {
    return errno == ENOSPC || errno == EDQUOT ? errors::diskFull(path) : errors::diskError(path);
}

void syncFolder(const QString& file) {
    const FileDescriptor dir(
        ::open(encoded(QFileInfo(file).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir || ::fsync(dir.get()) != 0)
        throw errors::diskError(file);
}

// The original's extended attributes (security labels, ACLs) onto the copy;
// a file system without them has nothing to copy.
void copyAttributes(int from, int to, const QString& path) {
    ssize_t size = ::flistxattr(from, nullptr, 0);
    if (size < 0) {
        if (errno == ENOTSUP)
            return;
        throw errors::diskError(path);
    }
    std::vector<char> names(static_cast<std::size_t>(size));
    size = ::flistxattr(from, names.data(), names.size());
    if (size < 0)
        throw errors::diskError(path);
    for (std::size_t at = 0; at < static_cast<std::size_t>(size);) {
        const char* name = names.data() + at;
        at += std::strlen(name) + 1;
        const ssize_t length = ::fgetxattr(from, name, nullptr, 0);
        if (length < 0)
            continue; // gone meanwhile
        std::vector<char> value(static_cast<std::size_t>(length));
        const ssize_t got = ::fgetxattr(from, name, value.data(), value.size());
        if (got < 0)
            continue;
        if (::fsetxattr(to, name, value.data(), static_cast<std::size_t>(got), 0) != 0 && errno != ENOTSUP &&
            errno != EPERM)
            throw errors::diskError(path);
    }
}

} // namespace

QString WorkingCopy::nameFor(const QString& original, long pid) {
    const QFileInfo info(original);
    return info.absoluteDir().filePath(QStringLiteral(".%1.tou-%2.tmp").arg(info.fileName()).arg(pid));
}

WorkingCopy::WorkingCopy(const QString& original, int originalFd) : original_(original) {
    // Copies left by killed runs: the caller holds the original's lock, so
    // none of them belongs to a run still going.
    const QFileInfo info(original);
    const QRegularExpression leftover(QStringLiteral("^\\.%1\\.tou-[0-9]+\\.tmp$")
                                          .arg(QRegularExpression::escape(info.fileName())));
    for (const QString& name : info.absoluteDir().entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (leftover.match(name).hasMatch())
            QFile::remove(info.absoluteDir().filePath(name));

    if (::fstat(originalFd, &originalStat_) != 0)
        throw errors::diskError(original);
    path_ = nameFor(original, static_cast<long>(::getpid()));
    fd_ = FileDescriptor(::open(encoded(path_).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd_)
        throw errno == EACCES || errno == EROFS ? errors::readOnlyFolder(original) : systemError(original);
    try {
        off_t in = 0;
        off_t out = 0;
        auto left = static_cast<std::size_t>(originalStat_.st_size);
        while (left > 0) {
            const ssize_t moved = ::copy_file_range(originalFd, &in, fd_.get(), &out, left, 0);
            if (moved < 0 && errno == EINTR)
                continue;
            if (moved <= 0)
                throw moved < 0 ? systemError(original) : errors::diskError(original);
            left -= static_cast<std::size_t>(moved);
        }
    } catch (...) {
        discard();
        throw;
    }
}

WorkingCopy::~WorkingCopy() {
    discard();
}

FileDescriptor WorkingCopy::open() const {
    FileDescriptor fd(::open(encoded(path_).constData(), O_RDWR | O_CLOEXEC));
    if (!fd)
        throw systemError(original_);
    return fd;
}

void WorkingCopy::discard() noexcept {
    if (done_)
        return;
    done_ = true;
    fd_.reset();
    ::unlink(encoded(path_).constData()); // already gone is fine
}

void WorkingCopy::replaceOriginal() {
    try {
        if (::fsync(fd_.get()) != 0)
            throw systemError(original_);
        struct stat now {};
        if (::stat(encoded(original_).constData(), &now) != 0 || now.st_size != originalStat_.st_size ||
            now.st_mtim.tv_sec != originalStat_.st_mtim.tv_sec ||
            now.st_mtim.tv_nsec != originalStat_.st_mtim.tv_nsec || now.st_ino != originalStat_.st_ino ||
            accessLockFile(original_))
            throw errors::targetChanged(original_);
        if (::fchmod(fd_.get(), originalStat_.st_mode & 07777) != 0)
            throw errors::diskError(original_);
        if (::fchown(fd_.get(), originalStat_.st_uid, originalStat_.st_gid) != 0 && errno != EPERM)
            throw errors::diskError(original_);
        const FileDescriptor originalFd(::open(encoded(original_).constData(), O_RDONLY | O_CLOEXEC));
        if (originalFd)
            copyAttributes(originalFd.get(), fd_.get(), original_);
        if (::fsync(fd_.get()) != 0)
            throw systemError(original_);
        if (::rename(encoded(path_).constData(), encoded(original_).constData()) != 0)
            throw systemError(original_);
        done_ = true;
        fd_.reset();
    } catch (...) {
        discard();
        throw;
    }
    syncFolder(original_);
}

} // namespace dao::jet::detail
