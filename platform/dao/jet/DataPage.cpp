#include "platform/dao/jet/DataPage.h"

namespace dao::jet::detail {

DataPage::DataPage(const Format& format, Bytes page) : format_(format), page_(page) {
    if (page.size() != format.pageSize || page.u8(0) != kDataPageType)
        damaged("a data page expected");
    count_ = page.u16(format.dataRowCount);
    if (format.dataRowCount + 2 + 2 * std::size_t{count_} > page.size())
        damaged("more rows than a page holds");
}

std::uint16_t DataPage::offset(std::uint16_t index) const {
    if (index >= count_)
        damaged("a row number past the page's rows");
    return page_.u16(format_.dataRowCount + 2 + 2 * std::size_t{index});
}

bool DataPage::deleted(std::uint16_t index) const {
    return (offset(index) & kRowDeleted) != 0;
}

bool DataPage::overflow(std::uint16_t index) const {
    return (offset(index) & kRowOverflow) != 0;
}

Bytes DataPage::row(std::uint16_t index) const {
    const std::size_t start = offset(index) & kRowOffsetMask;
    const std::size_t end = index == 0 ? page_.size() : offset(static_cast<std::uint16_t>(index - 1)) & kRowOffsetMask;
    const std::size_t tableEnd = format_.dataRowCount + 2 + 2 * std::size_t{count_};
    if (start < tableEnd || start > end || end > page_.size())
        damaged("a row outside its page");
    return page_.sub(start, end - start);
}

} // namespace dao::jet::detail
