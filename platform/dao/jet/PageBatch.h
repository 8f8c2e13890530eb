#pragma once
// The pages one update changes, gathered before any is handed to the file:
// an update that fails halfway (a damaged page, a full map) leaves the
// working copy as it was, and one that succeeds reaches it whole.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/PageFile.h"

#include <cstdint>
#include <map>

namespace dao::jet::detail {

class PageBatch {
public:
    explicit PageBatch(PageFile& file) : file_(file) {}

    // The page as this update sees it, to read or change.
    Page& page(std::uint32_t number);
    // A new page at the end of the file; its number.
    std::uint32_t append(Page page);
    std::uint32_t count() const noexcept { return file_.count() + appended_; }
    // Hands every changed page to the file, in page order.
    void apply();

private:
    PageFile& file_;
    std::map<std::uint32_t, Page> pages_;
    std::uint32_t appended_ = 0;
};

} // namespace dao::jet::detail
