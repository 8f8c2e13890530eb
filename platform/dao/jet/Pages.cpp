#include "platform/dao/jet/Pages.h"

#include "platform/dao/Errors.h"

#include <QFile>
#include <QFileInfo>

// mdbtools.h includes glib inside extern "C"; glib's C++ parts must come first.
#include <glib.h>
#include <mdbtools.h>


namespace dao::jet::detail {

struct Pages::Handle {
    explicit Handle(MdbHandle* h) : mdb(h) {}
    ~Handle() { mdb_close(mdb); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    MdbHandle* mdb;
};

Pages::Pages(const QString& path, const Header& header, std::uint32_t count)
    : count_(count), size_(header.format.pageSize) {
    // No flags: libmdb opens with fopen "r" and writes nothing (it keeps no
    // lock file either). It looks in $MDBPATH only for a path it cannot stat;
    // should the file vanish meanwhile, the check below refuses what it found.
    const QByteArray file = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    MdbHandle* mdb = mdb_open(file.constData(), MDB_NOFLAGS);
    if (mdb == nullptr)
        throw errors::cannotOpenFile(path);
    handle_ = std::make_unique<Handle>(mdb);
    // libmdb read the header on its own; it must agree on what decodes the pages.
    const bool sameVersion = header.format.jet3 ? IS_JET3(mdb) : mdb->f->jet_version == MDB_VER_JET4;
    if (!sameVersion || mdb->fmt->pg_size != static_cast<ssize_t>(size_) || mdb->f->db_key != header.pageKey)
        throw errors::cannotOpenFile(path);
}

Pages::~Pages() = default;

Bytes Pages::read(std::uint32_t number, std::vector<std::uint8_t>& buffer) {
    if (number == 0 || number >= count_)
        damaged("a page number outside the file");
    // The alternate buffer: libmdb's own page cache stays out of the way.
    if (mdb_read_alt_pg(handle_->mdb, number) != static_cast<ssize_t>(size_))
        damaged("a page could not be read");
    buffer.assign(handle_->mdb->alt_pg_buf, handle_->mdb->alt_pg_buf + size_);
    bytesRead_ += size_;
    return Bytes(buffer);
}

} // namespace dao::jet::detail
