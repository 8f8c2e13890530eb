#include "platform/dao/jet/ColumnProperties.h"

#include "platform/dao/Names.h"
#include "platform/dao/jet/Bytes.h"

#include <optional>
#include <vector>

namespace dao::jet::detail {

namespace {

constexpr std::uint16_t kNameList = 0x80;
constexpr std::uint8_t kBooleanType = 0x01;

QString utf16(Bytes bytes) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data()),
                              static_cast<qsizetype>(bytes.size() / 2));
}

// A u16 length, then that many bytes of UTF-16LE.
QString name(Bytes b, std::size_t& at) {
    const std::size_t length = b.u16(at);
    const QString text = utf16(b.sub(at + 2, length));
    at += 2 + length;
    return text;
}

// The block at `at`, `length` bytes with its own length field; `at` moves
// past it. Damaged for one shorter than its fixed part, `least` bytes.
Bytes block(Bytes b, std::size_t& at, std::size_t length, std::size_t least, const char* tooShort) {
    if (length < least)
        damaged(tooShort);
    const Bytes taken = b.sub(at, length);
    at += length;
    return taken;
}

} // namespace

ColumnProperties columnProperties(const QByteArray& blob, const QString& column) {
    ColumnProperties result;
    const Bytes b(std::span(reinterpret_cast<const std::uint8_t*>(blob.constData()),
                            static_cast<std::size_t>(blob.size())));
    try {
        if (b.size() < 4 || b.u8(0) != 'M' || b.u8(1) != 'R' || b.u8(2) != '2' || b.u8(3) != 0)
            return result;
        std::vector<QString> names;
        ColumnProperties found;
        for (std::size_t at = 4; at < b.size();) {
            const Bytes chunk = block(b, at, b.u32(at), 6, "a property chunk too short");
            const std::uint16_t kind = chunk.u16(4);
            if (kind == kNameList) {
                for (std::size_t p = 6; p < chunk.size();)
                    names.push_back(name(chunk, p));
                continue;
            }
            if (chunk.size() <= 6)
                continue;
            const std::size_t nameBlock = chunk.u32(6);
            if (nameBlock < 4)
                damaged("a property name block too short");
            const Bytes nameBytes = chunk.sub(6, nameBlock);
            std::size_t p = 4;
            const QString object = nameBlock > 6 ? name(nameBytes, p) : QString();
            if (object.compare(column, Qt::CaseInsensitive) != 0)
                continue;
            const std::optional<std::size_t> required = findName(names, QStringLiteral("Required"));
            const std::optional<std::size_t> allowZeroLength = findName(names, QStringLiteral("AllowZeroLength"));
            for (std::size_t v = 6 + nameBlock; v < chunk.size();) {
                const Bytes entry = block(chunk, v, chunk.u16(v), 8, "a property entry too short");
                const std::uint8_t type = entry.u8(3);
                const std::size_t index = entry.u16(4);
                const std::size_t size = entry.u16(6);
                const Bytes data = entry.sub(8, size);
                if (index >= names.size() || type != kBooleanType || size < 1)
                    continue;
                if (index == required)
                    found.required = data.u8(0) != 0;
                else if (index == allowZeroLength)
                    found.allowZeroLength = data.u8(0) != 0;
            }
        }
        return found;
    } catch (const Damaged&) {
        return result;
    }
}

} // namespace dao::jet::detail
