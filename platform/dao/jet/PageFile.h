#pragma once
// The pages of the working copy the writer changes: read decoded, written
// encoded as the file's own pages are (RC4 under the page key XOR the page
// number when the header's key is not zero), new pages appended at the end.
// Written pages wait in memory until flush(); page 0 is never written. One
// decoded copy of each page is kept, written or only read, so a revisited
// page costs no system call and no copy.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/FileDescriptor.h"
#include "platform/dao/jet/Header.h"

#include <QString>

#include <cstdint>
#include <deque>
#include <span>
#include <unordered_map>
#include <vector>

namespace dao::jet::detail {

using Page = std::vector<std::uint8_t>;

class PageFile {
public:
    // Pages kept beyond `pages` are let go of (clean ones only), and held
    // pages beyond `held` should be written out: memory stays bounded on any
    // run (96 MiB of pages at most), while the pages of a table of a million
    // rows mostly stay in memory for the revision's random keys.
    struct Limits {
        std::size_t pages = 24576;
        std::size_t held = 16384;
    };

    // `fd` is open for reading and writing and holds `count` pages.
    PageFile(FileDescriptor fd, QString path, const Header& header, std::uint32_t count, Limits limits);
    PageFile(FileDescriptor fd, QString path, const Header& header, std::uint32_t count)
        : PageFile(std::move(fd), std::move(path), header, count, Limits{}) {}

    std::uint32_t count() const noexcept { return count_; }
    const QString& path() const noexcept { return path_; }
    int fd() const noexcept { return fd_.get(); }

    // Damaged for page 0 or one past the end; 3043 when the read fails. The
    // page stays valid until the next read(), write() or flush(): a caller
    // that reads another page first keeps a copy.
    const Page& read(std::uint32_t number) const;
    // Takes a page (decoded) to write; `number` may be count() to append.
    // Gives back the buffer of the page it replaces (empty for a new one):
    // read just before, it is warm, the best place for the caller's next page.
    Page write(std::uint32_t number, Page page);
    // Enough pages are held that they should be written (between two
    // updates, so that the copy never holds half of one).
    bool full() const noexcept;
    // Writes every held page; 3026/3043 when the system refuses (the pages
    // not yet written stay held).
    void flush();
    bool changed() const noexcept { return changed_; }
    // A page-sized buffer, one let go of by the cache when there is one.
    Page buffer() const;

private:
    struct Cached {
        Page page;                   // decoded
        bool held = false;           // written here, not yet to the file
        mutable bool recent = true;  // read since the last sweep passed it
    };
    void code(std::uint32_t number, std::span<std::uint8_t> page) const;
    // Lets go of clean pages, least recently read first (a clock sweep),
    // until one more fits; held pages always stay.
    void makeRoom() const;

    FileDescriptor fd_;
    QString path_;
    std::uint32_t pageSize_;
    std::uint32_t pageKey_;
    std::uint32_t count_;
    Limits limits_;
    // Every page read or written, kept (decoded) for the next read: the
    // revision's random keys revisit pages long after they were written.
    mutable std::unordered_map<std::uint32_t, Cached> pages_;
    // Pages the sweep may let go of, in the order it looks at them; a number
    // may be stale (gone or held since), and is then passed over.
    mutable std::deque<std::uint32_t> sweep_;
    // Buffers of pages let go of, for the next pages read: once the cache is
    // full a read reuses one rather than freeing and allocating (which, with
    // the reads and the letting go on different threads, grows the heap).
    mutable std::vector<Page> spare_;
    std::vector<std::uint32_t> heldPages_; // may name pages written since
    std::size_t held_ = 0;
    std::vector<std::uint8_t> out_;        // consecutive held pages, one write
    bool changed_ = false;
};

} // namespace dao::jet::detail
