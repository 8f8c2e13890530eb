#include "tests/support/JetCraft.h"

#include "platform/dao/jet/JetFile.h"
#include "platform/dao/jet/Row.h"
#include "platform/dao/jet/TableDefinition.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace testsupport {

namespace {

using namespace dao::jet::detail;

constexpr std::uint32_t kRowCountAt = 12; // Jet 4 data page: row count, then the slots
constexpr std::uint32_t kUsageMapAt = 55; // Jet 4 table definition: the usage map's row pointer
constexpr std::uint16_t kDeleted = 0x8000;
constexpr std::uint32_t kStretch = (JetCraft::kPage - 4) * 8; // pages one map page covers

void put16(QByteArray& b, qsizetype at, std::uint16_t v) { std::memcpy(b.data() + at, &v, 2); }
void put32(QByteArray& b, qsizetype at, std::uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

QByteArray emptyDataPage(std::uint32_t owner) {
    QByteArray page(JetCraft::kPage, '\0');
    page[0] = 0x01;
    page[1] = 0x01;
    put32(page, 4, owner);
    return page;
}

QByteArray mapPage() {
    QByteArray page(JetCraft::kPage, '\0');
    page[0] = 0x05;
    page[1] = 0x01;
    return page;
}

} // namespace

JetCraft::JetCraft(const QString& fixture, QString work) : work_(std::move(work)) {
    QFile f(fixture);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("no fixture " + fixture.toStdString());
    base_ = f.readAll();
    pages_ = static_cast<std::uint32_t>(base_.size() / kPage);
    write();
}

std::uint16_t JetCraft::u16(std::uint32_t page, std::uint32_t at) const {
    std::uint16_t v = 0;
    std::memcpy(&v, base_.constData() + qsizetype{page} * kPage + at, 2);
    return v;
}

std::uint32_t JetCraft::u32(std::uint32_t page, std::uint32_t at) const {
    std::uint32_t v = 0;
    std::memcpy(&v, base_.constData() + qsizetype{page} * kPage + at, 4);
    return v;
}

QByteArray JetCraft::page(std::uint32_t number) const {
    return base_.mid(qsizetype{number} * kPage, kPage);
}

std::uint32_t JetCraft::definitionPage(const QString& table, const QString& password) const {
    const QStringList columns{QStringLiteral("Id"), QStringLiteral("Name"), QStringLiteral("Type")};
    const dao::jet::Table catalog =
        dao::jet::JetFile::open(work_, password)->read(QStringLiteral("MSysObjects"), columns, {});
    for (const auto& row : catalog.rows)
        if (row[1].toText() == table)
            if (const auto page = dao::jet::tableDefinitionPage(row[2], row[0]))
                return *page;
    throw std::runtime_error("no table " + table.toStdString());
}

std::vector<std::uint32_t> JetCraft::dataPages(std::uint32_t definition) const {
    std::vector<std::uint32_t> pages;
    for (std::uint32_t p = 1; p < static_cast<std::uint32_t>(base_.size() / kPage); ++p)
        if (base_[qsizetype{p} * kPage] == 0x01 && u32(p, 4) == definition)
            pages.push_back(p);
    return pages;
}

QByteArray JetCraft::row(std::uint32_t definition, const std::map<QString, QByteArray>& values) const {
    const ReadPage read = [&](std::uint32_t number, std::vector<std::uint8_t>& buffer) {
        const auto* at = reinterpret_cast<const std::uint8_t*>(base_.constData()) + qsizetype{number} * kPage;
        buffer.assign(at, at + kPage);
        return Bytes(buffer);
    };
    const std::vector<std::uint8_t> joined = joinedDefinition(read, kJet4, definition);
    FileText text(false, 0);
    const TableDefinition def = parseTableDefinition(Bytes(joined), kJet4, text, definition);

    std::size_t columns = 0, fixedEnd = 0, varCount = 0;
    for (const Column& c : def.columns) {
        columns = std::max<std::size_t>(columns, c.number + 1u);
        if (c.fixed)
            fixedEnd = std::max(fixedEnd, c.fixedOffset + fixedSize(c.type));
        else
            varCount = std::max<std::size_t>(varCount, c.varIndex + 1u);
    }
    const std::size_t maskSize = (columns + 7) / 8;
    QByteArray mask(static_cast<qsizetype>(maskSize), '\0');
    QByteArray out(static_cast<qsizetype>(2 + fixedEnd), '\0');
    put16(out, 0, static_cast<std::uint16_t>(columns));
    std::vector<QByteArray> var(varCount);
    for (const Column& c : def.columns) {
        const auto given = values.find(c.name);
        if (given == values.end())
            continue;
        mask[c.number / 8] = static_cast<char>(mask[c.number / 8] | 1 << (c.number % 8));
        if (c.fixed) {
            const auto size = static_cast<qsizetype>(fixedSize(c.type));
            out.replace(static_cast<qsizetype>(2 + c.fixedOffset), size, given->second.leftJustified(size, '\0', true));
        }
        else
            var[c.varIndex] = given->second;
    }
    std::vector<std::uint16_t> offsets;
    for (const QByteArray& v : var) {
        offsets.push_back(static_cast<std::uint16_t>(out.size()));
        out += v;
    }
    offsets.push_back(static_cast<std::uint16_t>(out.size()));
    // The offsets newest first, then their count, then the null mask.
    for (auto o = offsets.rbegin(); o != offsets.rend(); ++o)
        out += QByteArray(reinterpret_cast<const char*>(&*o), 2);
    const auto count = static_cast<std::uint16_t>(varCount);
    out += QByteArray(reinterpret_cast<const char*>(&count), 2);
    return out + mask;
}

QByteArray JetCraft::text(const QByteArray& latin1) {
    return QByteArray("\xFF\xFE", 2) + latin1;
}

QByteArray JetCraft::int32(std::int32_t v) {
    return QByteArray(reinterpret_cast<const char*>(&v), 4);
}

QByteArray JetCraft::int16(std::int16_t v) {
    return QByteArray(reinterpret_cast<const char*>(&v), 2);
}

QByteArray JetCraft::emptyRow() {
    // No columns; one variable-length offset (where the values end) and their count, 0.
    return QByteArray("\x00\x00\x02\x00\x00\x00", 6);
}

QByteArray JetCraft::rowsPage(std::uint32_t owner, const std::vector<QByteArray>& rows) {
    QByteArray page = emptyDataPage(owner);
    std::uint32_t end = kPage;
    put16(page, kRowCountAt, static_cast<std::uint16_t>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        end -= static_cast<std::uint32_t>(rows[i].size());
        if (end < kRowCountAt + 2 + 2 * rows.size())
            throw std::runtime_error("rows past the page");
        page.replace(end, rows[i].size(), rows[i]);
        put16(page, static_cast<qsizetype>(kRowCountAt + 2 + 2 * i), static_cast<std::uint16_t>(end));
    }
    return page;
}

QByteArray JetCraft::sharedSlotsPage(std::uint32_t owner, const QByteArray& row, std::uint32_t* live) {
    QByteArray page = emptyDataPage(owner);
    const auto start = static_cast<std::uint32_t>(kPage - row.size());
    page.replace(start, row.size(), row);
    // Slot i ends where slot i-1 starts; a deleted slot starting at the page's
    // end makes the live one after it the whole row again.
    const std::uint32_t slotCount = (start - kRowCountAt - 2) / 2;
    put16(page, kRowCountAt, static_cast<std::uint16_t>(slotCount));
    for (std::uint32_t i = 0; i < slotCount; ++i)
        put16(page, kRowCountAt + 2 + 2 * i,
              static_cast<std::uint16_t>(i % 2 == 0 ? start : kDeleted | kPage));
    if (live)
        *live = (slotCount + 1) / 2;
    return page;
}

std::uint32_t JetCraft::append(const QByteArray& page, std::uint32_t times) {
    if (page.size() != kPage)
        throw std::runtime_error("not a page");
    const std::uint32_t first = pages_;
    runs_.emplace_back(page, times);
    pages_ += times;
    return first;
}

std::pair<std::uint32_t, std::uint32_t> JetCraft::mapRow(std::uint32_t definition) const {
    const std::uint32_t pointer = u32(definition, kUsageMapAt);
    const std::uint32_t holder = pointer >> 8, index = pointer & 0xFF;
    const std::uint32_t start = u16(holder, kRowCountAt + 2 + 2 * index) & 0x1FFF;
    const std::uint32_t end = index == 0 ? kPage : u16(holder, kRowCountAt + 2 * index) & 0x1FFF;
    return {holder * kPage + start, end - start};
}

void JetCraft::setOwnedPages(std::uint32_t definition, const std::vector<std::uint32_t>& owned) {
    const auto [at, size] = mapRow(definition);
    std::map<std::uint32_t, QByteArray> maps; // by stretch
    for (const std::uint32_t p : owned) {
        QByteArray& bits = maps.try_emplace(p / kStretch, mapPage()).first->second;
        const std::uint32_t i = p % kStretch;
        bits[4 + i / 8] = static_cast<char>(bits[4 + i / 8] | 1 << (i % 8));
    }
    QByteArray map(static_cast<qsizetype>(size), '\0');
    map[0] = 0x01;
    for (const auto& [stretch, bits] : maps) {
        if (1 + 4 * (stretch + 1) > size)
            throw std::runtime_error("the map row names too few map pages");
        put32(map, 1 + 4 * stretch, append(bits));
    }
    base_.replace(at, size, map);
}

std::uint64_t JetCraft::ownEveryPage(std::uint32_t definition) {
    const auto [at, size] = mapRow(definition);
    QByteArray bits = mapPage();
    bits.replace(4, kPage - 4, QByteArray(kPage - 4, '\xFF'));
    bits[4] = '\xFE'; // never page 0
    const std::uint32_t page = append(bits);
    QByteArray map(static_cast<qsizetype>(size), '\0');
    map[0] = 0x01;
    std::uint32_t k = 0;
    for (; 1 + 4 * (k + 1) <= size; ++k)
        put32(map, 1 + 4 * k, page);
    base_.replace(at, size, map);
    return std::uint64_t{k} * kStretch;
}

void JetCraft::write(std::uint64_t apparentPages) const {
    QFile f(work_);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(base_) != base_.size())
        throw std::runtime_error("cannot write " + work_.toStdString());
    for (const auto& [page, times] : runs_) {
        // Up to a few megabytes a write.
        const std::uint32_t batch = std::min<std::uint32_t>(times, 1024);
        const QByteArray block = page.repeated(batch);
        for (std::uint32_t done = 0; done < times; done += batch) {
            const QByteArray part = times - done >= batch ? block : page.repeated(times - done);
            if (f.write(part) != part.size())
                throw std::runtime_error("cannot write " + work_.toStdString());
        }
    }
    if (apparentPages > pages_ && !f.resize(static_cast<qint64>(apparentPages * kPage)))
        throw std::runtime_error("cannot grow " + work_.toStdString());
}

} // namespace testsupport
