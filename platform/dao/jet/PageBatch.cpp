#include "platform/dao/jet/PageBatch.h"

#include "platform/dao/jet/Bytes.h"

#include <algorithm>

namespace dao::jet::detail {

Page& PageBatch::page(std::uint32_t number) {
    // An update takes a handful of pages: a look down the list beats a map.
    for (std::size_t i = 0; i < used_; ++i)
        if (taken_[i].number == number)
            return taken_[i].page;
    const Page& stored = file_.read(number);
    if (used_ == taken_.size())
        taken_.emplace_back(); // a deque: pages handed out before stay where they are
    Taken& t = taken_[used_];
    t.number = number;
    if (t.page.capacity() < stored.size())
        t.page = file_.buffer();
    t.page.assign(stored.begin(), stored.end());
    ++used_;
    return t.page;
}

std::uint32_t PageBatch::append(const Page& page) {
    const std::uint32_t number = count();
    if (number > 0xFFFFFF)
        damaged("no page number left for a new page");
    if (used_ == taken_.size())
        taken_.emplace_back();
    taken_[used_].number = number;
    if (taken_[used_].page.capacity() < page.size())
        taken_[used_].page = file_.buffer();
    taken_[used_].page.assign(page.begin(), page.end());
    ++used_;
    ++appended_;
    return number;
}

void PageBatch::apply() {
    // Page order, so that pages added at the end reach the file in turn.
    std::sort(taken_.begin(), taken_.begin() + static_cast<std::ptrdiff_t>(used_),
              [](const Taken& a, const Taken& b) { return a.number < b.number; });
    for (std::size_t i = 0; i < used_; ++i)
        taken_[i].page = file_.write(taken_[i].number, std::move(taken_[i].page));
    used_ = 0;
    appended_ = 0;
}

void PageBatch::discard() noexcept {
    used_ = 0;
    appended_ = 0;
}

} // namespace dao::jet::detail
