#include "platform/dao/FileProbe.h"

#include "platform/dao/Errors.h"

#include <QDir>

#include <filesystem>
#include <fstream>

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
    const std::uintmax_t size = fs::is_regular_file(status) ? fs::file_size(file, ec) : 0;
    std::ifstream probe(file, std::ios::binary);
    if (!fs::is_regular_file(status) || ec || !probe)
        throw errors::cannotOpenFile(path);
    QByteArray header(kJetHeader.size(), '\0');
    probe.read(header.data(), header.size());
    const auto startsWith = [&](const QByteArray& magic) {
        return probe.gcount() >= magic.size() && header.startsWith(magic);
    };
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
