#include "platform/dao/FileProbe.h"

#include "platform/dao/Errors.h"

#include <QDir>

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dao {

namespace fs = std::filesystem;

namespace {

const QByteArray kPlainHeader("SQLite format 3\0", 16);
const QByteArray kJetHeader("\x00\x01\x00\x00Standard Jet DB", 19);
const QByteArray kAceHeader("\x00\x01\x00\x00Standard ACE DB", 19);

} // namespace

ProbedFile probeFile(const QString& name, qsizetype maxPathBytes) {
    QString path = name;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.isEmpty() || path.contains(QChar(0)))
        throw errors::invalidPath(path);
    // Libraries turn away longer full paths with a bare "cannot open", even
    // when the file is there.
    const qsizetype length = path.startsWith(QLatin1Char('/'))
                                 ? path.toUtf8().size()
                                 : QDir::currentPath().toUtf8().size() + 1 + path.toUtf8().size();
    if (maxPathBytes > 0 && length > maxPathBytes)
        throw errors::pathTooLong(path, maxPathBytes, length);

    const fs::path file(path.toStdString());
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (fs::is_directory(status))
        throw errors::pathIsFolder(path);
    if (!fs::exists(status)) {
        const fs::path parent = file.parent_path().empty() ? fs::path(".") : file.parent_path();
        if (fs::is_directory(parent, ec))
            throw errors::fileNotFound(path);
        throw errors::invalidPath(path);
    }
    // Only a regular file (or a link to one) is ever opened: a FIFO or a
    // device would block the open, or feed the reader for ever. Opened
    // without blocking and checked again once open, so a file swapped in
    // meanwhile is caught too.
    if (!fs::is_regular_file(status))
        throw errors::cannotOpenFile(path);
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        throw errors::cannotOpenFile(path);
    struct stat info {};
    QByteArray header(kJetHeader.size(), '\0');
    ssize_t got = -1;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        got = ::pread(fd, header.data(), static_cast<std::size_t>(header.size()), 0);
    ::close(fd);
    if (got < 0)
        throw errors::cannotOpenFile(path);
    const auto size = static_cast<std::uintmax_t>(info.st_size);
    const auto startsWith = [&](const QByteArray& magic) { return got >= magic.size() && header.startsWith(magic); };
    if (startsWith(kPlainHeader))
        throw errors::plainSqlite(path);
    if (size < kCipherPageSize)
        throw errors::unrecognizedFormat(path);
    const FileKind kind = startsWith(kJetHeader) ? FileKind::Jet
                          : startsWith(kAceHeader) ? FileKind::Ace
                                                   : FileKind::Encrypted;
    return {path, kind, size};
}

} // namespace dao
