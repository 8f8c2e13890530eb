#pragma once
// Hostile Jet 4 files made from a committed, unencoded fixture: pages added
// at the end (runs of one page repeated, so millions of rows cost little to
// write), a table's usage map pointed at any pages, rows built from a
// table's own definition, and an apparent size far past the written bytes
// (a sparse tail).
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace testsupport {

class JetCraft {
public:
    static constexpr std::uint32_t kPage = 4096;
    static constexpr std::uint32_t kCatalog = 2; // the catalogue's definition page

    // The fixture's bytes; `work` is where the file is written.
    JetCraft(const QString& fixture, QString work);

    // The definition page of `table`, read with the reader (before any change is written).
    std::uint32_t definitionPage(const QString& table, const QString& password = {}) const;
    // The fixture's data pages that hold rows of the table defined on `definition`.
    std::vector<std::uint32_t> dataPages(std::uint32_t definition) const;
    QByteArray page(std::uint32_t number) const;
    std::uint32_t pageCount() const { return pages_; }

    // A row of the table defined on `definition`: the given columns' stored
    // bytes (see text()), every other column Null.
    QByteArray row(std::uint32_t definition, const std::map<QString, QByteArray>& values) const;
    static QByteArray text(const QByteArray& latin1);  // compressed, as Jet 4 keeps one-byte text
    static QByteArray int32(std::int32_t v);
    static QByteArray int16(std::int16_t v);
    // The smallest row: no columns, so every one reads Null.
    static QByteArray emptyRow();

    // A data page of `owner` holding `rows` one after the other.
    static QByteArray rowsPage(std::uint32_t owner, const std::vector<QByteArray>& rows);
    // A data page of `owner` whose every other slot is live and points at
    // the one copy of `row` (the deleted slot between them ends it), as many
    // as fit; `live` says how many that is.
    static QByteArray sharedSlotsPage(std::uint32_t owner, const QByteArray& row, std::uint32_t* live = nullptr);

    // Appends `page` `times` times; the number of the first.
    std::uint32_t append(const QByteArray& page, std::uint32_t times = 1);
    // Makes the usage map of the table defined on `definition` list exactly
    // the pages `owned` (a map page is appended for each stretch of them).
    void setOwnedPages(std::uint32_t definition, const std::vector<std::uint32_t>& owned);
    // Makes it list every page of every stretch its map row can name, with
    // one all-ones map page; the pages it covers, which the file must reach.
    std::uint64_t ownEveryPage(std::uint32_t definition);

    // Writes the file; with `apparentPages` past the written pages, the rest is a hole.
    void write(std::uint64_t apparentPages = 0) const;
    const QString& path() const { return work_; }

private:
    std::uint16_t u16(std::uint32_t page, std::uint32_t at) const;
    std::uint32_t u32(std::uint32_t page, std::uint32_t at) const;
    std::pair<std::uint32_t, std::uint32_t> mapRow(std::uint32_t definition) const; // where the map row lies, its size

    QByteArray base_;
    QString work_;
    std::vector<std::pair<QByteArray, std::uint32_t>> runs_; // pages after the fixture's
    std::uint32_t pages_;
};

} // namespace testsupport
