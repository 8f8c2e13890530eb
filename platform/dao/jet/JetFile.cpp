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

#include <new>
#include <optional>

namespace dao::jet {

using namespace detail;

namespace {

constexpr std::uint32_t kRowsPerCheck = 256;
// An overflow pointer leads to the row; more than a few hops is a loop.
constexpr int kMostHops = 8;

struct CatalogEntry {
    QString name;
    std::uint32_t page;
};

std::optional<std::size_t> columnIndex(const TableDefinition& table, const QString& name) {
    return findName(table.columns, name, &Column::name);
}

} // namespace

struct JetFile::State {
    State(const QString& file, const Header& h) : path(file), header(h), text(h.format.jet3, h.codePage) {}

    QString path;
    Header header;
    FileText text;
    std::unique_ptr<Pages> pages;
    std::vector<CatalogEntry> tables;

    // Calls `take` with each live row of `table` in stored order; `check` on
    // each page and every few hundred rows.
    void scan(const TableDefinition& table, const std::function<void()>& check,
              const std::function<void(const Row&)>& take) {
        const Format& format = header.format;
        std::vector<std::uint8_t> pageBuffer;
        std::vector<std::uint8_t> overflowBuffer;
        std::uint32_t rows = 0;
        for (const std::uint32_t number : ownedPages(*pages, format, table.usageMap)) {
            check();
            const Bytes bytes = pages->read(number, pageBuffer);
            // The map also lists the definition, index and long-value pages.
            if (bytes.u8(0) != kDataPageType)
                continue;
            const DataPage page(format, bytes);
            if (page.owner() != table.page)
                continue;
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
                take(Row(format, table, row));
                if (++rows % kRowsPerCheck == 0)
                    check();
            }
        }
    }

    // The catalogue's rows that are tables of this file.
    void readCatalog() {
        const TableDefinition catalog = readTableDefinition(*pages, header.format, text, kCatalogPage);
        const auto id = columnIndex(catalog, QStringLiteral("Id"));
        const auto name = columnIndex(catalog, QStringLiteral("Name"));
        const auto type = columnIndex(catalog, QStringLiteral("Type"));
        if (!id || !name || !type)
            damaged("a catalogue without Id, Name and Type");
        Values values(*pages, header.format, text, [] {});
        scan(catalog, [] {}, [&](const Row& row) {
            const vb::Variant t = values.read(catalog.columns[*type], row);
            const vb::Variant i = values.read(catalog.columns[*id], row);
            if (const std::optional<std::uint32_t> page = tableDefinitionPage(t, i))
                tables.push_back({values.read(catalog.columns[*name], row).toText(), *page});
        });
    }
};

std::optional<std::uint32_t> tableDefinitionPage(const vb::Variant& type, const vb::Variant& id) {
    const auto* kind = std::get_if<std::int64_t>(&type.storage());
    const auto* number = std::get_if<std::int64_t>(&id.storage());
    // Type 1 is a table (the top bits are flags); the Id's low 24 bits are
    // its definition's page.
    if (kind && number && (*kind & 0x7F) == 1)
        return static_cast<std::uint32_t>(*number & 0xFFFFFF);
    return std::nullopt;
}

JetFile::JetFile(std::unique_ptr<State> state) : state_(std::move(state)) {}

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

        auto state = std::make_unique<State>(path, header);
        const QString stored =
            header.format.jet3
                ? state->text.decode(Bytes(header.password))
                : QString::fromUtf16(reinterpret_cast<const char16_t*>(header.password.data()),
                                     static_cast<qsizetype>(header.password.size() / 2));
        if (!stored.isEmpty() && stored != password)
            throw errors::invalidPassword(path);

        state->pages = std::make_unique<Pages>(path, header, count);
        state->readCatalog();
        return std::unique_ptr<JetFile>(new JetFile(std::move(state)));
    });
}

Table JetFile::read(const QString& table, const QStringList& columns, const std::function<bool()>& interrupted) {
    State& s = *state_;
    const std::optional<std::size_t> entry = findName(s.tables, table, &CatalogEntry::name);
    if (!entry)
        throw errors::tableNotFound(table, s.path);
    return guarded(s.path, [&] {
        const TableDefinition def = readTableDefinition(*s.pages, s.header.format, s.text, s.tables[*entry].page);
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
        Table result;
        for (const std::size_t i : chosen)
            result.names.push_back(def.columns[i].name);

        const auto check = [&] {
            if (interrupted && interrupted())
                throw errors::userInterrupt();
        };
        Values values(*s.pages, s.header.format, s.text, check);
        s.scan(def, check, [&](const Row& row) {
            std::vector<vb::Variant> cells;
            cells.reserve(chosen.size());
            for (const std::size_t i : chosen)
                cells.push_back(values.read(def.columns[i], row));
            result.rows.push_back(std::move(cells));
        });
        return result;
    });
}

} // namespace dao::jet
