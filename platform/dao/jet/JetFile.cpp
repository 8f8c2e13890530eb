#include "platform/dao/jet/JetFile.h"

#include "platform/dao/Errors.h"
#include "platform/dao/Names.h"
#include "platform/dao/jet/DataPage.h"
#include "platform/dao/jet/Guarded.h"
#include "platform/dao/jet/Header.h"
#include "platform/dao/jet/Pages.h"
#include "platform/dao/jet/Row.h"
#include "platform/dao/jet/TableDefinition.h"
#include "platform/dao/jet/Text.h"
#include "platform/dao/jet/Values.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <utility>

namespace dao::jet {

using namespace detail;

namespace {

constexpr std::uint32_t kRowsPerCheck = 256;
// The most one page's rows may hold (as stored; text doubles when decoded).
// Re-reading pages earns budget, so rows sharing one long value could
// otherwise gather any amount on a single page.
constexpr std::uint64_t kMostPageValues = 128u << 20;
// An overflow pointer leads to the row; more than a few hops is a loop.
constexpr int kMostHops = 8;

std::optional<std::size_t> columnIndex(const TableDefinition& table, const QString& name) {
    return findName(table.columns, name, &Column::name);
}

// What the file's contents cause, as the engine's errors.
template <class F>
auto readGuarded(const QString& path, F&& f) {
    try {
        return guarded(path, std::forward<F>(f));
    } catch (const LongValueTooLarge&) {
        throw errors::valueTooLarge(path, static_cast<int>(kMostLongValue));
    }
}

} // namespace

struct JetFile::State {
    State(const QString& file, const Header& h) : path(file), header(h), text(h.format.jet3, h.codePage) {}

    QString path;
    Header header;
    FileText text;
    std::unique_ptr<Pages> pages;
    TableDefinition catalog;
    std::size_t catalogId = 0, catalogName = 0, catalogType = 0;

    // Calls `take` with each live row of data page `number` of `table` in
    // slot order, `check` every few hundred rows; `buffer` holds the page,
    // `overflowBuffer` the page a moved row lies on. Returns the rows taken;
    // a page of another kind or table has none.
    std::uint32_t pageRows(const TableDefinition& table, std::uint32_t number, std::vector<std::uint8_t>& buffer,
                           std::vector<std::uint8_t>& overflowBuffer, const std::function<void()>& check,
                           const std::function<bool(const Row&)>& take) {
        const Format& format = header.format;
        const std::optional<DataPage> held = rowsPage(table, number, buffer);
        if (!held)
            return 0;
        const DataPage& page = *held;
        std::uint32_t rows = 0;
        for (std::uint16_t i = 0; i < page.count(); ++i) {
            if (page.deleted(i))
                continue;
            Bytes row = page.row(i);
            bool overflow = page.overflow(i);
            for (int hops = 0; overflow; ++hops) {
                if (hops == kMostHops)
                    damaged("overflow rows that loop");
                const std::uint32_t at = row.u32(0);
                const DataPage target(format, pages->read(at >> 8, overflowBuffer));
                row = target.row(static_cast<std::uint16_t>(at & 0xFF));
                overflow = target.overflow(static_cast<std::uint16_t>(at & 0xFF));
            }
            ++rows;
            if (!take(Row(format, table, row)))
                break;
            if (rows % kRowsPerCheck == 0)
                check();
        }
        return rows;
    }

    // Page `number` (read into `buffer`) when it holds rows of `table`:
    // the map also lists the definition, index and long-value pages.
    std::optional<DataPage> rowsPage(const TableDefinition& table, std::uint32_t number,
                                     std::vector<std::uint8_t>& buffer) {
        const Bytes bytes = pages->read(number, buffer);
        if (bytes.u8(0) != kDataPageType)
            return std::nullopt;
        const DataPage page(header.format, bytes);
        if (page.owner() != table.page)
            return std::nullopt;
        return page;
    }

    // The live rows a page holds, without reading them.
    std::uint32_t liveRows(const TableDefinition& table, std::uint32_t number, std::vector<std::uint8_t>& buffer) {
        const std::optional<DataPage> page = rowsPage(table, number, buffer);
        std::uint32_t rows = 0;
        for (std::uint16_t i = 0; page && i < page->count(); ++i)
            rows += page->deleted(i) ? 0 : 1;
        return rows;
    }

    // Calls `take` with each live row of `table` in stored order until it
    // returns false; `check` on each page and every few hundred rows.
    void scan(const TableDefinition& table, const std::function<void()>& check,
              const std::function<bool(const Row&)>& take) {
        std::vector<std::uint8_t> pageBuffer;
        std::vector<std::uint8_t> overflowBuffer;
        bool more = true;
        const auto until = [&](const Row& row) { return more = take(row); };
        for (const std::uint32_t number : ownedPages(*pages, header.format, table.usageMap)) {
            check();
            pageRows(table, number, pageBuffer, overflowBuffer, check, until);
            if (!more)
                return;
        }
    }

    // The definition's page of the first catalogue entry that is a table
    // named `name`; the entries are read one at a time and none is kept, so
    // a catalogue of any length costs no memory, and `check` stops it.
    std::uint32_t tablePage(const QString& name, const std::function<void()>& check) {
        std::optional<std::uint32_t> found;
        Values values(*pages, header.format, text, check);
        scan(catalog, check, [&](const Row& row) {
            values.chargeRow();
            const vb::Variant t = values.read(catalog.columns[catalogType], row);
            const vb::Variant i = values.read(catalog.columns[catalogId], row);
            if (const std::optional<std::uint32_t> page = tableDefinitionPage(t, i)) {
                if (values.read(catalog.columns[catalogName], row).toText().compare(name, Qt::CaseInsensitive) == 0)
                    found = page;
            }
            return !found;
        });
        if (!found)
            throw errors::tableNotFound(name, path);
        return *found;
    }

    // The definition of `table` and the places of `columns` in it (empty:
    // all, in table order).
    std::pair<TableDefinition, std::vector<std::size_t>> definition(const QString& table, const QStringList& columns,
                                                                     const std::function<void()>& check) {
        TableDefinition def = readTableDefinition(*pages, header.format, text, tablePage(table, check));
        std::vector<std::size_t> chosen;
        if (columns.isEmpty()) {
            for (std::size_t i = 0; i < def.columns.size(); ++i)
                chosen.push_back(i);
        } else {
            for (const QString& name : columns) {
                const auto i = columnIndex(def, name);
                if (!i)
                    throw errors::itemNotFound(name);
                chosen.push_back(*i);
            }
        }
        return {std::move(def), std::move(chosen)};
    }
};

namespace {

std::function<void()> checkOf(std::function<bool()> interrupted) {
    return [interrupted = std::move(interrupted)] {
        if (interrupted && interrupted())
            throw errors::userInterrupt();
    };
}

std::vector<vb::Variant> cellsOf(Values& values, const TableDefinition& def, const std::vector<std::size_t>& chosen,
                                 const Row& row) {
    values.chargeRow();
    std::vector<vb::Variant> cells;
    cells.reserve(chosen.size());
    for (const std::size_t i : chosen)
        cells.push_back(values.read(def.columns[i], row));
    return cells;
}

} // namespace

struct TableRows::Impl {
    Impl(std::shared_ptr<JetFile::State> s, std::function<void()> c) : state(std::move(s)), check(std::move(c)) {}

    std::shared_ptr<JetFile::State> state;
    std::function<void()> check;
    TableDefinition def;
    std::vector<std::size_t> chosen;
    std::vector<QString> names;
    // The data pages holding live rows, in stored order, and the place of
    // each one's first row.
    std::vector<std::uint32_t> pages;
    std::vector<std::uint64_t> firsts;
    std::uint64_t count = 0;
    // The one page whose rows are held (none when `window` is past `pages`).
    std::size_t window = SIZE_MAX;
    std::vector<std::vector<vb::Variant>> rows;
    std::unique_ptr<Values> values;
    std::vector<std::uint8_t> buffer, overflowBuffer;

    void load(std::size_t at) {
        rows.clear();
        window = SIZE_MAX;
        check();
        const std::uint64_t before = values->spent();
        const std::uint32_t taken =
            state->pageRows(def, pages[at], buffer, overflowBuffer, check, [&](const Row& row) {
                rows.push_back(cellsOf(*values, def, chosen, row));
                if (values->spent() - before > kMostPageValues)
                    damaged("a page whose values add up to more than the reader holds");
                return true;
            });
        const std::uint64_t expected = (at + 1 < firsts.size() ? firsts[at + 1] : count) - firsts[at];
        if (taken != expected)
            damaged("a page whose rows changed while it was read");
        window = at;
    }
};

TableRows::TableRows(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

TableRows::~TableRows() = default;

const std::vector<QString>& TableRows::names() const noexcept {
    return impl_->names;
}

std::uint64_t TableRows::count() const noexcept {
    return impl_->count;
}

const std::vector<vb::Variant>& TableRows::row(std::uint64_t index) {
    Impl& d = *impl_;
    if (!d.state || index >= d.count)
        throw errors::noCurrentRecord();
    const bool held =
        d.window < d.pages.size() && index >= d.firsts[d.window] && index - d.firsts[d.window] < d.rows.size();
    if (!held) {
        const auto after = std::upper_bound(d.firsts.begin(), d.firsts.end(), index);
        const auto at = static_cast<std::size_t>(after - d.firsts.begin()) - 1;
        readGuarded(d.state->path, [&] { d.load(at); });
    }
    return d.rows[static_cast<std::size_t>(index - d.firsts[d.window])];
}

void TableRows::release() noexcept {
    impl_->rows = {};
    impl_->window = SIZE_MAX;
    impl_->values.reset();
    impl_->state.reset();
}

std::optional<std::uint32_t> tableDefinitionPage(const vb::Variant& type, const vb::Variant& id) {
    const auto* kind = std::get_if<std::int64_t>(&type.storage());
    const auto* number = std::get_if<std::int64_t>(&id.storage());
    // Type 1 is a table (the top bits are flags); the Id's low 24 bits are
    // its definition's page.
    if (kind && number && (*kind & 0x7F) == 1)
        return static_cast<std::uint32_t>(*number & 0xFFFFFF);
    return std::nullopt;
}

JetFile::JetFile(std::shared_ptr<State> state) : state_(std::move(state)) {}

JetFile::~JetFile() = default;

std::unique_ptr<JetFile> JetFile::open(const QString& path, const QString& password) {
    const QFileInfo info(path);
    if (info.isDir())
        throw errors::pathIsFolder(path);
    if (!info.exists())
        throw errors::fileNotFound(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw errors::cannotOpenFile(path);
    const qint64 size = file.size();
    const QByteArray first = file.read(kJet4.pageSize);
    file.close();

    return guarded(path, [&] {
        const Header header = readHeader(Bytes(std::span(reinterpret_cast<const std::uint8_t*>(first.constData()),
                                                         static_cast<std::size_t>(first.size()))));
        const std::uint32_t count = pageCount(size, header.format);

        auto state = std::make_shared<State>(path, header);
        const QString stored =
            header.format.jet3
                ? state->text.decode(Bytes(header.password))
                : QString::fromUtf16(reinterpret_cast<const char16_t*>(header.password.data()),
                                     static_cast<qsizetype>(header.password.size() / 2));
        if (!stored.isEmpty() && stored != password)
            throw errors::invalidPassword(path);

        state->pages = std::make_unique<Pages>(path, header, count);
        // Only the catalogue's definition: its entries are read when a table is looked up.
        state->catalog = readTableDefinition(*state->pages, header.format, state->text, kCatalogPage);
        const auto id = columnIndex(state->catalog, QStringLiteral("Id"));
        const auto name = columnIndex(state->catalog, QStringLiteral("Name"));
        const auto type = columnIndex(state->catalog, QStringLiteral("Type"));
        if (!id || !name || !type)
            damaged("a catalogue without Id, Name and Type");
        state->catalogId = *id;
        state->catalogName = *name;
        state->catalogType = *type;
        return std::unique_ptr<JetFile>(new JetFile(std::move(state)));
    });
}

Table JetFile::read(const QString& table, const QStringList& columns, const std::function<bool()>& interrupted) {
    State& s = *state_;
    const std::function<void()> check = checkOf(interrupted);
    return readGuarded(s.path, [&] {
        const auto defined = s.definition(table, columns, check);
        const TableDefinition& def = defined.first;
        const std::vector<std::size_t>& chosen = defined.second;
        Table result;
        for (const std::size_t i : chosen)
            result.names.push_back(def.columns[i].name);
        Values values(*s.pages, s.header.format, s.text, check);
        s.scan(def, check, [&](const Row& row) {
            result.rows.push_back(cellsOf(values, def, chosen, row));
            return true;
        });
        return result;
    });
}

std::unique_ptr<TableRows> JetFile::rows(const QString& table, const QStringList& columns,
                                         std::function<bool()> interrupted) {
    State& s = *state_;
    auto impl = std::make_unique<TableRows::Impl>(state_, checkOf(std::move(interrupted)));
    readGuarded(s.path, [&] {
        TableRows::Impl& d = *impl;
        auto [def, chosen] = s.definition(table, columns, d.check);
        d.def = std::move(def);
        d.chosen = std::move(chosen);
        for (const std::size_t i : d.chosen)
            d.names.push_back(d.def.columns[i].name);
        // Counting needs no values: only the pages' slot tables.
        for (const std::uint32_t number : ownedPages(*s.pages, s.header.format, d.def.usageMap)) {
            d.check();
            if (const std::uint32_t live = s.liveRows(d.def, number, d.buffer)) {
                d.pages.push_back(number);
                d.firsts.push_back(d.count);
                d.count += live;
            }
        }
        d.pages.shrink_to_fit();
        d.firsts.shrink_to_fit();
        d.values = std::make_unique<Values>(*s.pages, s.header.format, s.text, d.check);
    });
    return std::unique_ptr<TableRows>(new TableRows(std::move(impl)));
}

} // namespace dao::jet
