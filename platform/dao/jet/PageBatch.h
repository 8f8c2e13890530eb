#pragma once
// The pages one update changes, gathered before any is handed to the file:
// an update that fails halfway (a damaged page, a full map) leaves the
// working copy as it was, and one that succeeds reaches it whole. A batch
// may serve one update after another: its page buffers are kept between
// them, so an update allocates nothing for the pages it changes.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/PageFile.h"

#include <cstdint>
#include <deque>

namespace dao::jet::detail {

class PageBatch {
public:
    explicit PageBatch(PageFile& file) : file_(file) {}

    // The page as this update sees it, to read or change; the reference
    // stays valid until apply() or discard().
    Page& page(std::uint32_t number);
    // A new page at the end of the file, a copy of `page`; its number.
    std::uint32_t append(const Page& page);
    std::uint32_t count() const noexcept { return file_.count() + appended_; }
    // Hands every changed page to the file, in page order.
    void apply();
    // Forgets what this update gathered (it failed): the file is as it was.
    void discard() noexcept;

private:
    struct Taken {
        std::uint32_t number;
        Page page;
    };
    PageFile& file_;
    std::deque<Taken> taken_; // the first used_ are this update's; the rest, buffers to reuse
    std::size_t used_ = 0;
    std::uint32_t appended_ = 0;
};

} // namespace dao::jet::detail
