#include "platform/fso/FileSystemObject.h"

#include "runtime/RuntimeError.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <map>
#include <sys/stat.h>
#include <sys/types.h>

namespace fso {

namespace {

const QString kScriptingId = QStringLiteral("Scripting.FileSystemObject");

// The callers write Windows-style paths; the disk wants "/".
QString toPosix(const QString& path) {
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

bool isAsciiLetter(QChar c) {
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}

// Turns a failed system call into the object's numbered error, naming the path.
void check(int rc, const QString& path) {
    if (rc == 0)
        return;
    switch (const int err = errno) {
    case ENOENT:
    case ENOTDIR: // a file where a parent folder should be is a missing path too
        vb::raise(kPathNotFound, QCoreApplication::translate("fso", "Path not found: %1").arg(path));
    case EEXIST:
        vb::raise(kFileAlreadyExists, QCoreApplication::translate("fso", "File already exists: %1").arg(path));
    case EACCES:
    case EPERM:
    case EROFS:
        vb::raise(kPermissionDenied, QCoreApplication::translate("fso", "Permission denied: %1").arg(path));
    default:
        vb::raise(kPathFileAccessError,
                  QCoreApplication::translate("fso", "Path/File access error: %1 (%2)")
                      .arg(path, QString::fromLocal8Bit(std::strerror(err))));
    }
}

std::map<QString, ScopedFactoryOverride::Factory>& overrides() {
    static std::map<QString, ScopedFactoryOverride::Factory> registry;
    return registry;
}

[[noreturn]] void cannotCreate() {
    vb::raise(kCannotCreateObject, QCoreApplication::translate("fso", "ActiveX component can't create object"));
}

} // namespace

QString FileSystemObject::GetDriveName(const QString& path) {
    // Parsed on the "/" form so both separators count, returned as written.
    const QString p = toPosix(path);
    if (p.size() >= 2 && isAsciiLetter(p[0]) && p[1] == QLatin1Char(':'))
        return path.left(2);
    if (p.startsWith(QLatin1String("//"))) {
        const qsizetype serverEnd = p.indexOf(QLatin1Char('/'), 2);
        if (serverEnd <= 2) // no separator after the server, or no server at all
            return {};
        const qsizetype next = p.indexOf(QLatin1Char('/'), serverEnd + 1);
        const qsizetype shareEnd = next < 0 ? p.size() : next;
        if (shareEnd == serverEnd + 1)
            return {};
        return path.left(shareEnd);
    }
    return {};
}

vb::Boolean FileSystemObject::FolderExists(const QString& path) {
    return vb::toBoolean(!path.isEmpty() && QFileInfo(toPosix(path)).isDir());
}

void FileSystemObject::CreateFolder(const QString& path) {
    // One level only: a missing parent is an error, as the callers expect.
    const QByteArray native = QFile::encodeName(toPosix(path));
    check(::mkdir(native.constData(), 0777), path);
}

FileSystemObjectPtr CreateObject(const QString& progId) {
    const QString key = progId.toCaseFolded();
    if (const auto it = overrides().find(key); it != overrides().end()) {
        if (!it->second)
            cannotCreate();
        FileSystemObjectPtr object = it->second();
        if (!object)
            cannotCreate();
        return object;
    }
    if (key == kScriptingId.toCaseFolded())
        return std::make_shared<FileSystemObject>();
    cannotCreate();
}

ScopedFactoryOverride::ScopedFactoryOverride(const QString& progId, Factory factory)
    : key_(progId.toCaseFolded()) {
    auto& registry = overrides();
    if (const auto it = registry.find(key_); it != registry.end())
        previous_ = it->second;
    registry[key_] = std::move(factory);
}

ScopedFactoryOverride::~ScopedFactoryOverride() {
    // Only touches our own entry, so nothing here allocates or throws.
    auto& registry = overrides();
    if (const auto it = registry.find(key_); it != registry.end()) {
        if (previous_)
            it->second = std::move(*previous_);
        else
            registry.erase(it);
    }
}

} // namespace fso
