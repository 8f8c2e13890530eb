#pragma once
// Where one column's value lies in a row: the row's column count, its fixed-
// length values, its variable-length values, their offset table (Jet 3: one
// byte each, with a jump table for rows past 255 bytes), and a null mask
// with one bit per column number at the very end. A column numbered past the
// row's count was added after the row was written and reads as Null.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/Bytes.h"
#include "platform/dao/jet/Header.h"
#include "platform/dao/jet/TableDefinition.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace dao::jet::detail {

class Row {
public:
    // Damaged unless the row's count, null mask and offset table fit it.
    Row(const Format& format, const TableDefinition& table, Bytes row);

    // The null-mask bit: a Yes/No column's value, otherwise "not Null".
    bool bit(const Column& column) const;
    // The value's bytes; nullopt for Null. Damaged for bytes outside the row.
    std::optional<Bytes> value(const Column& column) const;

private:
    Bytes row_;
    std::size_t countSize_;
    std::size_t columns_;
    Bytes nullMask_;
    std::vector<std::size_t> varOffsets_; // one per variable-length value and one for their end
    std::size_t valuesEnd_ = 0;           // where the offset table begins
};

// The size of a fixed-length value of `type`; 0 for a type without one.
std::size_t fixedSize(std::uint8_t type);

} // namespace dao::jet::detail
