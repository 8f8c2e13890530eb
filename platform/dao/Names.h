#pragma once
// How a name the caller wrote finds a table, column or field a file holds:
// whatever its case, as both kinds of file match names. The one rule for the
// recordsets, the SQLCipher schema and the Jet reader alike.
#include <QString>

#include <cstddef>
#include <functional>
#include <optional>

namespace dao {

// The index of the first of `items` whose name (`nameOf(item)`) is `name`
// in any case; nothing when none is.
template <class Items, class NameOf = std::identity>
std::optional<std::size_t> findName(const Items& items, const QString& name, NameOf nameOf = {}) {
    std::size_t i = 0;
    for (const auto& item : items) {
        const QString& candidate = std::invoke(nameOf, item);
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return i;
        ++i;
    }
    return std::nullopt;
}

} // namespace dao
