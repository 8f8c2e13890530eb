#include "platform/dao/jet/PageBatch.h"

#include "platform/dao/jet/Bytes.h"

namespace dao::jet::detail {

Page& PageBatch::page(std::uint32_t number) {
    const auto found = pages_.find(number);
    if (found != pages_.end())
        return found->second;
    return pages_.emplace(number, file_.read(number)).first->second;
}

std::uint32_t PageBatch::append(Page page) {
    const std::uint32_t number = count();
    if (number > 0xFFFFFF)
        damaged("no page number left for a new page");
    pages_.emplace(number, std::move(page));
    ++appended_;
    return number;
}

void PageBatch::apply() {
    for (auto& [number, page] : pages_)
        file_.write(number, std::move(page));
    pages_.clear();
    appended_ = 0;
}

} // namespace dao::jet::detail
