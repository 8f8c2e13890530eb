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

class Values {
public:
    // `pageRead` is called before each page a long value needs.
    Values(Pages& pages, const Format& format, FileText& text, std::function<void()> pageRead);

    // Damaged once the values read through this object add up to more than
    // twice the file (text doubles at most, from one byte a character to
    // two): only a file whose rows or pointers share bytes gets there, and it
    // would otherwise fill the memory.
    vb::Variant read(const Column& column, const Row& row);

private:
    QByteArray longValue(Bytes reference);
    void spend(std::size_t bytes);

    Pages& pages_;
    Format format_;
    FileText& text_;
    std::function<void()> pageRead_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t budget_;
};

// The fixed-length kinds, from their bytes (of fixedSize(type)).
vb::Variant fixedValue(std::uint8_t type, std::uint8_t scale, Bytes bytes);

} // namespace dao::jet::detail
