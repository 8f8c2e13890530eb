#include "platform/dao/jet/Row.h"

namespace dao::jet::detail {

namespace {

// Jet 3 offsets are one byte: each jump-table entry names the first offset
// that lies one more 256 bytes further on.
std::vector<std::size_t> jet3Offsets(Bytes row, std::size_t maskSize, std::size_t varCount) {
    const std::size_t size = row.size();
    std::size_t jumps = (size - 1) / 256;
    // The table sits before the jump table, the variable count and the mask.
    if (size < maskSize + 2 + jumps + varCount + 1)
        damaged("a row too short for its offset table");
    const std::size_t last = size - maskSize - 2 - jumps; // offset 0 sits here, later ones below it
    // The jump table is sized by the row's length, not by where its data ends,
    // so its last entry may be a filler (0xFF).
    if ((last - varCount) / 256 < jumps)
        --jumps;
    std::vector<std::size_t> offsets(varCount + 2);
    offsets[varCount + 1] = last - varCount; // where the table begins: values end before it
    std::size_t used = 0;
    for (std::size_t i = 0; i <= varCount; ++i) {
        while (used < jumps && i == row.u8(size - maskSize - 2 - used))
            ++used;
        offsets[i] = row.u8(last - i) + 256 * used;
    }
    return offsets;
}

} // namespace

std::size_t fixedSize(std::uint8_t type) {
    switch (type) {
    case kByte: return 1;
    case kInteger: return 2;
    case kLong: case kSingle: return 4;
    case kCurrency: case kDouble: case kDateTime: return 8;
    case kGuid: return 16;
    case kNumeric: return 17;
    default: return 0;
    }
}

Row::Row(const Format& format, const TableDefinition& table, Bytes row)
    : row_(row), countSize_(format.countSize) {
    columns_ = countSize_ == 1 ? row.u8(0) : row.u16(0);
    const std::size_t maskSize = (columns_ + 7) / 8;
    if (row.size() < countSize_ + maskSize)
        damaged("a row too short for its null mask");
    nullMask_ = row.sub(row.size() - maskSize, maskSize);
    if (table.varColumns == 0)
        return;
    if (format.jet3) {
        if (row.size() < maskSize + 1 + countSize_)
            damaged("a row too short for its offset table");
        const std::size_t varCount = row.u8(row.size() - maskSize - 1);
        varOffsets_ = jet3Offsets(row, maskSize, varCount);
    } else {
        if (row.size() < countSize_ + maskSize + 2)
            damaged("a row too short for its offset table");
        const std::size_t varCount = row.u16(row.size() - maskSize - 2);
        // varCount + 1 two-byte entries, newest first, right before the count.
        if (row.size() < countSize_ + maskSize + 2 + 2 * (varCount + 1))
            damaged("a row too short for its offset table");
        varOffsets_.resize(varCount + 1);
        for (std::size_t i = 0; i <= varCount; ++i)
            varOffsets_[i] = row.u16(row.size() - maskSize - 4 - 2 * i);
        valuesEnd_ = row.size() - maskSize - 4 - 2 * varCount;
    }
    if (format.jet3) {
        valuesEnd_ = varOffsets_.back();
        varOffsets_.pop_back();
    }
}

bool Row::bit(const Column& column) const {
    if (column.number >= columns_)
        return false;
    return (nullMask_.u8(column.number / 8u) >> (column.number % 8u) & 1) != 0;
}

std::optional<Bytes> Row::value(const Column& column) const {
    if (!bit(column))
        return std::nullopt;
    if (column.fixed)
        return row_.sub(countSize_ + column.fixedOffset, fixedSize(column.type));
    if (std::size_t{column.varIndex} + 1 >= varOffsets_.size())
        return std::nullopt; // the row predates the column
    const std::size_t start = varOffsets_[column.varIndex];
    const std::size_t end = varOffsets_[column.varIndex + 1];
    if (start > end)
        damaged("a value that ends before it starts");
    // A value reaching into the offset table or the null mask would hand out
    // the row's own bookkeeping as data.
    if (end > valuesEnd_)
        damaged("a value overlapping the row's offset table");
    return row_.sub(start, end - start);
}

} // namespace dao::jet::detail
