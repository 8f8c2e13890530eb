#include "platform/dao/sqlcipher/MemoryBudget.h"

#include "platform/dao/Errors.h"

namespace dao::detail {

namespace {

// A string's or byte array's block beyond its characters: Qt's header and
// the allocator's.
constexpr std::size_t kBlockOverhead = 32;

} // namespace

std::size_t heldBytes(const vb::Variant& value) {
    std::size_t bytes = sizeof(vb::Variant);
    // The capacity, not the size: a text read from UTF-8 keeps room for as
    // many UTF-16 units as it had bytes.
    if (const auto* text = std::get_if<QString>(&value.storage()))
        bytes += kBlockOverhead + sizeof(QChar) * static_cast<std::size_t>(text->capacity());
    else if (const auto* data = std::get_if<QByteArray>(&value.storage()))
        bytes += kBlockOverhead + static_cast<std::size_t>(data->capacity());
    return bytes;
}

std::vector<vb::Variant> readRow(const Query& query, int first, int count, std::size_t& held, std::size_t most,
                                 const QString& file) {
    // Checked after each value, so no more than one passes the budget.
    const auto add = [&](std::size_t bytes) {
        held += bytes;
        if (held > most)
            throw errors::rowsTooLarge(file, static_cast<qint64>(most));
    };
    add(kRowOverhead);
    std::vector<vb::Variant> row;
    row.reserve(static_cast<std::size_t>(count));
    for (int i = first; i < first + count; ++i) {
        row.push_back(query.value(i));
        add(heldBytes(row.back()));
    }
    return row;
}

} // namespace dao::detail
