#pragma once
// The pages of the working copy the writer changes: read decoded, written
// encoded as the file's own pages are (RC4 under the page key XOR the page
// number when the header's key is not zero), new pages appended at the end.
// Written pages wait in memory until flush(); page 0 is never written.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/FileDescriptor.h"
#include "platform/dao/jet/Header.h"

#include <QString>

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace dao::jet::detail {

using Page = std::vector<std::uint8_t>;

class PageFile {
public:
    // `fd` is open for reading and writing and holds `count` pages.
    PageFile(FileDescriptor fd, QString path, const Header& header, std::uint32_t count);

    std::uint32_t count() const noexcept { return count_; }
    const QString& path() const noexcept { return path_; }
    int fd() const noexcept { return fd_.get(); }

    // Damaged for page 0 or one past the end; 3043 when the read fails.
    Page read(std::uint32_t number) const;
    // Takes a page (decoded) to write; `number` may be count() to append.
    void write(std::uint32_t number, Page page);
    // Enough pages are held that they should be written (between two
    // updates, so that the copy never holds half of one).
    bool full() const noexcept;
    // Writes every held page; 3026/3043 when the system refuses.
    void flush();
    bool changed() const noexcept { return changed_; }

private:
    void code(std::uint32_t number, Page& page) const;

    FileDescriptor fd_;
    QString path_;
    std::uint32_t pageSize_;
    std::uint32_t pageKey_;
    std::uint32_t count_;
    std::unordered_map<std::uint32_t, Page> held_;
    // Pages already written or read, kept (decoded) for the next read: the
    // revision's random keys revisit pages long after they were written.
    mutable std::unordered_map<std::uint32_t, Page> clean_;
    bool changed_ = false;
};

} // namespace dao::jet::detail
