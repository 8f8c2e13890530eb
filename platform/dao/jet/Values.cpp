#include "platform/dao/jet/Values.h"

#include "platform/dao/jet/DataPage.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace dao::jet::detail {

namespace {

// The 128-bit magnitude (four little-endian words, the most significant
// first) with `scale` places after the point.
vb::Decimal decimal(Bytes bytes, std::uint8_t scale) {
    if (scale > 28)
        damaged("a decimal with more places than the type has");
    unsigned __int128 magnitude = 0;
    for (std::size_t word = 0; word < 4; ++word)
        magnitude = magnitude << 32 | bytes.u32(1 + 4 * word);
    QString digits;
    do {
        digits.prepend(QChar(u'0' + static_cast<char16_t>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (digits.size() <= scale)
        digits = QString(scale + 1 - digits.size(), u'0') + digits;
    QString whole = digits.left(digits.size() - scale);
    QString fraction = digits.right(scale);
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    QString text = fraction.isEmpty() ? whole : whole + u'.' + fraction;
    if (bytes.u8(0) != 0 && text != u"0")
        text.prepend(u'-');
    return {text};
}

// Data1-Data3 little-endian, as the engine shows a GUID.
QString guid(Bytes b) {
    QString s = QStringLiteral("{%1-%2-%3-").arg(b.u32(0), 8, 16, QLatin1Char('0'))
                    .arg(b.u16(4), 4, 16, QLatin1Char('0'))
                    .arg(b.u16(6), 4, 16, QLatin1Char('0'));
    for (std::size_t i = 8; i < 16; ++i) {
        if (i == 10)
            s += u'-';
        s += QStringLiteral("%1").arg(b.u8(i), 2, 16, QLatin1Char('0'));
    }
    return s.toUpper() + u'}';
}

QByteArray bytesOf(Bytes b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

} // namespace

vb::Variant fixedValue(std::uint8_t type, std::uint8_t scale, Bytes bytes) {
    switch (type) {
    case kByte: return std::int64_t{bytes.u8(0)};
    case kInteger: return std::int64_t{bytes.i16(0)};
    case kLong: return std::int64_t{bytes.i32(0)};
    case kCurrency: return vb::Currency::fromRaw(bytes.i64(0));
    // A Single as the runtime shows it, to 7 significant digits: 0.1 rather
    // than the float's 0.100000001490116, so Val of its text reads 0.1 too.
    case kSingle: {
        const float f = bytes.f32(0);
        return std::isfinite(f) ? QString::number(f, 'g', 7).toDouble() : double{f};
    }
    case kDouble: return bytes.f64(0);
    case kDateTime: return vb::Date{bytes.f64(0)};
    case kGuid: return guid(bytes);
    case kNumeric: return decimal(bytes, scale);
    default: return bytesOf(bytes);
    }
}

namespace {

// Text at most doubles when decoded (one byte a character to two) and the
// values' containers add their share; a page packed with the smallest rows a
// table can have (about 370 on a Jet 4 page) stays well inside this.
constexpr std::uint64_t kBudgetPerByteRead = 8;
constexpr std::uint64_t kBudgetFloor = 64u << 10;
constexpr std::size_t kRowCost = 48;
constexpr std::size_t kMostLongValuePieces = 1u << 17;

} // namespace

Values::Values(Pages& pages, const Format& format, FileText& text, std::function<void()> pageRead)
    : pages_(pages), format_(format), text_(text), pageRead_(std::move(pageRead)), readAtStart_(pages.bytesRead()) {}

void Values::spend(std::size_t bytes) {
    spent_ += bytes;
    if (spent_ > kBudgetFloor + kBudgetPerByteRead * (pages_.bytesRead() - readAtStart_))
        damaged("values that add up to more than the pages read hold");
}

void Values::chargeRow() {
    spend(kRowCost);
}

vb::Variant Values::read(const Column& column, const Row& row) {
    if (column.type == kBoolean)
        return vb::TruthValue{vb::toBoolean(row.bit(column))};
    const std::optional<Bytes> bytes = row.value(column);
    if (!bytes)
        return vb::Variant();
    spend(bytes->size());
    switch (column.type) {
    case kText: return text_.decode(*bytes);
    case kBinary: return bytesOf(*bytes);
    case kMemo: {
        const QByteArray value = longValue(*bytes);
        return text_.decode(Bytes(std::span(reinterpret_cast<const std::uint8_t*>(value.constData()),
                                            static_cast<std::size_t>(value.size()))));
    }
    case kOle: return longValue(*bytes);
    default: // by type, not by place: Jet 4 keeps a Decimal among the variable-length values
        if (fixedSize(column.type) != 0)
            return fixedValue(column.type, column.scale, *bytes);
        return bytesOf(*bytes);
    }
}

QByteArray Values::longValue(Bytes reference) {
    // 12 bytes: the length (low 30 bits) and where the value lies (top 2),
    // a row pointer (page << 8 | row), 4 unused; inline values follow.
    const std::uint32_t head = reference.u32(0);
    const std::uint32_t length = head & 0x3FFFFFFF;
    const std::uint32_t where = head >> 30;
    if (where == 2)
        return bytesOf(reference.sub(12, length));
    if (length > kMostLongValue)
        throw LongValueTooLarge{};
    std::uint32_t pointer = reference.u32(4);
    QByteArray value;
    // The claimed length is only a promise; the bytes are charged as they are read.
    value.reserve(static_cast<qsizetype>(std::min<std::uint32_t>(length, 1u << 16)));
    std::set<std::uint32_t> seen;
    const auto rowAt = [&](std::uint32_t at) {
        if (!seen.insert(at).second)
            damaged("a long value whose pages loop");
        // A page's worth a piece reaches the longest value in a few
        // thousand; tiny pieces would only fill the set above.
        if (seen.size() > kMostLongValuePieces)
            damaged("a long value in more pieces than its length needs");
        pageRead_();
        const DataPage page(format_, pages_.read(at >> 8, buffer_));
        return page.row(static_cast<std::uint16_t>(at & 0xFF));
    };
    if (where == 1) { // the whole value is one row elsewhere
        const Bytes row = rowAt(pointer);
        spend(length);
        return bytesOf(row.sub(0, length));
    }
    if (where != 0)
        damaged("a long value of an unknown kind");
    // A chain of rows, each starting with the pointer to the next.
    for (std::uint32_t left = length; left > 0;) {
        if (pointer == 0)
            damaged("a long value shorter than its length");
        const Bytes row = rowAt(pointer);
        pointer = row.u32(0);
        const std::uint32_t take = static_cast<std::uint32_t>(std::min<std::size_t>(row.size() - 4, left));
        spend(take);
        value.append(bytesOf(row.sub(4, take)));
        left -= take;
    }
    return value;
}

} // namespace dao::jet::detail
