#pragma once
// A column's value in a row as the engine hands it out, decoded from the
// row's bytes: whole numbers (Byte, Integer, Long, sign-extended), floating
// point (Single, Double), Currency, Decimal, Yes/No, Date/Time, Text and Memo
// as text, Binary and OLE as bytes. Memo and OLE values ("long values") lie
// in the row, in one row of another page, or along a chain of such rows.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/jet/Header.h"
#include "platform/dao/jet/Pages.h"
#include "platform/dao/jet/Row.h"
#include "platform/dao/jet/TableDefinition.h"
#include "platform/dao/jet/Text.h"
#include "runtime/Variant.h"

#include <QByteArray>

#include <functional>

namespace dao::jet::detail {

// A long value (Memo, OLE) longer than the reader hands out: far beyond any
// building table's, and its copies would fill the memory.
struct LongValueTooLarge {};
inline constexpr std::uint32_t kMostLongValue = 64u << 20;

class Values {
public:
    // `pageRead` is called before each page a long value needs.
    Values(Pages& pages, const Format& format, FileText& text, std::function<void()> pageRead);

    // Every row decoded costs a fixed amount, and each value read its size,
    // from a budget of a few times the bytes read from the file since this
    // object was made (never its apparent size, which a sparse file inflates).
    // Damaged once that is spent: only rows that share bytes (slots pointing
    // at one row, rows of nothing but Nulls packed tight) get there, and they
    // would otherwise cost without end.
    void chargeRow();
    vb::Variant read(const Column& column, const Row& row);
    // What rows and values have cost so far.
    std::uint64_t spent() const noexcept { return spent_; }

private:
    QByteArray longValue(Bytes reference);
    void spend(std::size_t bytes);

    Pages& pages_;
    Format format_;
    FileText& text_;
    std::function<void()> pageRead_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t readAtStart_;
    std::uint64_t spent_ = 0;
};

// The fixed-length kinds, from their bytes (of fixedSize(type)).
vb::Variant fixedValue(std::uint8_t type, std::uint8_t scale, Bytes bytes);

} // namespace dao::jet::detail
